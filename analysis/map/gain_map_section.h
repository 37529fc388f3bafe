#pragma once
// "Gain map": sweeps two gains over their ranges (the others as the edits
// hold them) by running `vantrel-trace sweep` as a child process, over the
// program the window runs (the loaded file or the built-in demo) in the mode
// its check box sets, and fills a heat map of one metric as the rows come;
// a line above the map says which program and mode it shows. Clicking a
// cell fills the edits with that gain set and starts no run. The window
// stays responsive: the sweep runs in other processes, at a lower priority,
// and only its rows come back through the message loop.
//
// With "Follow the edits" on, the map makes itself anew about 150 ms after
// the last change of an edit, the mode, or the section's own axes and
// passes: a change of the edits moves both ranges so the current gains sit
// in their middle (step and size kept), a newer change drops the sweep still
// running, and the colour scale stays as the last map had it until
// "Rescale" fits it to the map shown (or Sweep makes a map afresh).
#include "analysis/live/analysis_host.h"
#include "analysis/map/gain_map_model.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class EditChanges;
class GainMapSweep;
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

    // The vantrel-trace program (default: the one beside this program).
    void set_trace_program(const QString& path) { program_ = path; }

    void start_sweep();   // "Sweep"
    void cancel_sweep();  // "Cancel"
    bool sweeping() const;
    // Runs after each sweep's end (done, cancelled or failed), the status set.
    std::function<void()> onSweepEnded;
    // How long after the last change the map follows (150 ms).
    void set_follow_delay(int ms);
    GainMapView* view() const { return view_; }
    const GainMapModel& model() const { return model_; }
    QString status_text() const;
    // What the map shows: "position mode, square.nc", "speed mode, 500 passes".
    QString shows_text() const;
    // The table so far: the header and the rows run, in the grid's order.
    std::string table() const { return model_.table(); }

    // Sizes the map for a panel that shows `viewport` pixels of its height.
    void fit_height(int viewport);
    static constexpr int kLeastMapHeight = 160;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A map of the ranges as they are; `follows` keeps the colour scale and
    // makes no map where the last one was made from the same arguments.
    void make_map(bool follows);
    void schedule_follow(bool recentre);
    void follow_now();
    void take_line(const std::string& line);
    void sweep_ended(const QString& failure);
    void reset_view();
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
    QString program_;
    GainMapModel model_;
    std::unique_ptr<GainMapSweep> sweep_;
    bool headerRead_ = false;
    bool cancelled_ = false;
    QTimer* followTimer_;
    bool recentre_ = false;  // the next follow moves the ranges to the edits' gains
    bool stale_ = false;     // a follow came while the section was hidden
    QStringList madeFrom_;   // the sweep's arguments of the map shown (empty after a cancel or failure)
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
