#pragma once
// "Gain map": sweeps two gains over their ranges (the others as the edits
// hold them) by running `vantrel-trace sweep` as a child process, over the
// program the window runs (the loaded file or the built-in demo) in the mode
// its check box sets, and fills a heat map of one metric as the rows come;
// a line above the map says which program and mode it shows. Clicking a
// cell fills the edits with that gain set and starts nothing. The window
// stays responsive: the sweep runs in other processes, at a lower priority,
// and only its rows come back through the message loop.
#include "analysis/analysis_host.h"
#include "analysis/gain_map_model.h"

#include <QWidget>

#include <memory>
#include <string>

class EditChanges;
class GainMapSweep;
class GainMapView;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

class GainMapSection : public QWidget {
public:
    GainMapSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent = nullptr);
    ~GainMapSection() override;

    // The vantrel-trace program (default: the one beside this program).
    void set_trace_program(const QString& path) { program_ = path; }

    void start_sweep();   // "Sweep"
    void cancel_sweep();  // "Cancel"
    bool sweeping() const;
    GainMapView* view() const { return view_; }
    const GainMapModel& model() const { return model_; }
    QString status_text() const;
    // What the map shows: "position mode, square.nc", "speed mode, 500 passes".
    QString shows_text() const;
    // The table so far: the header and the rows run, in the grid's order.
    std::string table() const { return model_.table(); }

private:
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

    QComboBox* xGain_;
    QComboBox* yGain_;
    QLineEdit* xRange_;
    QLineEdit* yRange_;
    QComboBox* metric_;
    QSpinBox* passes_;
    QPushButton* sweepButton_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* shows_;
    GainMapView* view_;
    QLabel* status_;
};
