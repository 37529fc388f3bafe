#pragma once
// "Gain map": sweeps two gains over their ranges (the others as the edits
// hold them) by running `vantrel-trace sweep` as a child process, and fills
// a heat map of one metric as its rows come. Clicking a cell fills the edits
// with that gain set and starts nothing. The window stays responsive: the
// sweep runs in other processes, at a lower priority, and only its rows come
// back through the message loop.
#include "analysis/analysis_host.h"
#include "core/sweep_grid.h"

#include <QElapsedTimer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class EditChanges;
class GainMapView;
class QComboBox;
class QLabel;
class QLineEdit;
class QProcess;
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
    QString status_text() const;
    // The table so far: the header and the rows run, in the grid's order.
    std::string table() const;

    // The largest map (cells) one sweep fills.
    static constexpr std::int64_t kMostCells = 250'000;

private:
    void read_rows();
    void take_row(const std::string& row);
    void sweep_ended(int exitCode, bool crashed);
    void recolour();
    std::optional<double> metric_value(const std::string& row) const;
    std::uint64_t index_of_cell(int ix, int iy) const;
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
    QComboBox* xGain_;
    QComboBox* yGain_;
    QLineEdit* xRange_;
    QLineEdit* yRange_;
    QComboBox* metric_;
    QSpinBox* passes_;
    QPushButton* sweep_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    GainMapView* view_;
    QLabel* status_;
    QPushButton* savePng_;
    QPushButton* saveCsv_;

    QProcess* process_ = nullptr;
    QElapsedTimer clock_;
    bool cancelled_ = false;
    std::string pending_;  // a row not yet complete
    std::string header_;   // without its line end
    std::vector<std::string> columns_;
    std::vector<std::string> rows_;  // in the grid's order, without line ends
    SweepGrid grid_{};
    std::size_t xAxis_ = SWEEP_KP, yAxis_ = SWEEP_KI;  // which gains
    int nx_ = 0, ny_ = 0;
    std::uint64_t total_ = 0;
};
