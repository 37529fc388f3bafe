#pragma once
// "Gain map": sweeps two gains over their ranges (the others as the edits
// hold them) and fills a heat map of one metric as the runs come, over the
// program the window runs (the loaded program's blocks, or the built-in
// demo) in the mode its check box sets; a line above the map says which
// program and mode it shows. The runs are measured in this process on worker
// threads (analysis/work), by the same code as `vantrel-trace sweep`, so the
// map's table is the sweep's with `--wraps`; the window only takes their
// numbers. Clicking a cell fills the edits with that gain set and starts no run.
//
// With "Follow the edits" on, the map makes itself anew as soon as an edit,
// the mode, the chosen program or the section's own axes and passes change:
// a change of the edits moves both ranges so the current gains sit in their
// middle (step and size kept), a newer change drops the map still being
// made, and the old picture stays until the new cells replace it. The colour
// scale stays as the last map had it until "Rescale" fits it to the map
// shown, a switch of the mode (the two modes' values do not compare) or
// Sweep makes a map afresh.
#include "analysis/live/analysis_host.h"
#include "analysis/map/gain_map_model.h"

#include "analysis/work/background_job.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class EditChanges;
class GainMapView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

class GainMapSection : public QWidget {
public:
    GainMapSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent = nullptr);
    ~GainMapSection() override;

    void start_sweep();   // "Sweep"
    void cancel_sweep();  // "Cancel"
    bool sweeping() const;
    // Runs after each sweep's end (done, cancelled or failed), the status set.
    std::function<void()> onSweepEnded;
    // A program was chosen: a map that follows is made of it.
    void program_chosen();
    GainMapView* view() const { return view_; }
    const GainMapModel& model() const { return model_; }
    QString status_text() const;
    // What the map shows: "position mode, square.nc", "speed mode, 500 passes".
    QString shows_text() const;
    // The table so far: the header and the rows run, in the grid's order.
    std::string table() const { return model_.table(); }
    // Threads of dropped maps not yet gone (for tests).
    std::size_t job_threads() const { return job_.threads(); }

    // Sizes the map for a panel that shows `viewport` pixels of its height.
    void fit_height(int viewport);
    static constexpr int kLeastMapHeight = 160;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What a map is made of: two maps of the same request are the same.
    struct Request {
        SweepGrid grid;
        std::size_t x = 0, y = 0;
        bool speedMode = false;
        int passes = 0;  // speed mode
        std::shared_ptr<const NcProgramBlocks> program;  // position mode; null for the demo
        bool operator==(const Request& other) const;
    };
    // A map of the ranges as they are; `follows` keeps the colour scale (but
    // across a switch of the mode) and the old picture until the new cells
    // come, and makes no map where the last one was of the same request.
    void make_map(bool follows);
    void schedule_follow(bool recentre);
    void follow_now();
    void take_chunk(std::uint64_t first, const std::vector<RunMetrics>& results, const std::vector<std::uint8_t>& wraps);
    void sweep_ended(const std::string& failure);
    void reset_view(bool keepPicture);
    void show_cells(std::uint64_t first, std::uint64_t count);
    void recolour();
    void fill_edits(int ix, int iy);
    QString describe(int ix, int iy) const;
    void follow_edits();
    void save_png();
    void save_csv();
    void set_status(const QString& text, bool error = false);
    RegulationGains edit_gains() const;

    AnalysisHost host_;
    EditChanges& edits_;
    int subscription_ = 0;
    GainMapModel model_;
    BackgroundJob job_;
    bool cancelled_ = false;
    double seconds_ = 0;  // the last map's time to make
    QTimer* followTimer_;
    bool recentre_ = false;  // the next follow moves the ranges to the edits' gains
    bool stale_ = false;     // a follow came while the section was hidden
    std::optional<bool> shownMode_;    // the speed mode of the last map made, if any
    std::optional<Request> madeFrom_;  // the map shown or on its way (none after a cancel or failure)
    int viewport_ = 0;       // the panel's visible height, once told
    static constexpr int kViewRow = 6;  // the map's row in the grid; the controls are above it

    QComboBox* xGain_;
    QComboBox* yGain_;
    QLineEdit* xRange_;
    QLineEdit* yRange_;
    QComboBox* metric_;
    QSpinBox* passes_;
    QPushButton* sweepButton_;
    QPushButton* cancel_;
    QCheckBox* follow_;
    QPushButton* rescale_;
    QProgressBar* progress_;
    QLabel* shows_;
    GainMapView* view_;
    QLabel* status_;
};
