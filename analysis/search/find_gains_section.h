#pragma once
// "Find gains": the best kp, ki, kd, kv within ranges for one metric under
// up to three limits, and without wraps if asked, found by
// `vantrel-trace tune` as a child process (as the gain map runs `sweep`)
// over the program and mode the window would run. The progress shows the
// sets measured and the time left; the best set so far shows as it improves,
// and at the end whether it is exact (every set of the box measured) or the
// best found; "Apply" fills the edits with it and starts nothing. The
// feasible sets found are drawn against a second column, the front of sets
// that no other beats in both highlighted; a click on a point fills the edits.
#include "analysis/live/analysis_host.h"
#include "analysis/search/find_gains_model.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GainMapSweep;
class FindGainsScatter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

class FindGainsSection : public QWidget {
public:
    static constexpr std::size_t kLimits = 3;

    explicit FindGainsSection(const AnalysisHost& host, QWidget* parent = nullptr);
    ~FindGainsSection() override;

    void set_trace_program(const QString& path) { program_ = path; }
    void fill_ranges_from_edits();  // each gain a quarter to four times the edit's value
    void start();
    void cancel();
    void apply();  // the best set into the edits
    bool searching() const;
    QString status_text() const;
    QString best_text() const;
    QString edge_text() const;
    const FindGainsModel& model() const { return model_; }
    FindGainsScatter* scatter() const { return scatter_; }
    // The tune arguments Start would use; empty with the status saying why not.
    QStringList arguments();
    // The scatter's sets as "Copy as CSV" puts them on the clipboard.
    std::string scatter_csv() const;

private:
    void take_line(const std::string& line);
    void show_progress();
    QString time_left() const;
    void ended(const QString& failure);
    void redraw();
    std::string shown_objective() const;
    std::optional<std::size_t> best_index() const;
    void fill_across();
    void show_edges(const std::vector<RangeEdge>& edges);
    void widen();
    void show_best();
    void fill_edits(const RegulationGains& gains, const std::string& source);
    void set_status(const QString& text, bool error = false);

    AnalysisHost host_;
    QString program_;
    FindGainsModel model_;
    std::unique_ptr<GainMapSweep> child_;
    bool cancelled_ = false;
    QString objectiveName_;
    std::optional<std::size_t> picked_;  // the set last clicked in the scatter

    QComboBox* objective_;
    std::array<QComboBox*, kLimits> limitColumns_{};
    std::array<QLineEdit*, kLimits> limitValues_{};
    QCheckBox* noWraps_;
    QSpinBox* passes_;
    std::array<QLineEdit*, 4> ranges_{};
    QPushButton* start_;
    QPushButton* cancel_;
    QPushButton* apply_;
    QLabel* edge_;
    QPushButton* widen_;
    std::array<GainRange, 4> searched_{};  // the box of the last search started
    std::array<QString, 4> searchedText_;  // and its ranges as typed
    std::vector<RangeEdge> edges_;           // the best set's edges, as said
    QProgressBar* progress_;
    QLabel* best_;
    QComboBox* across_;
    FindGainsScatter* scatter_;
    QLabel* status_;
    QTimer* redrawTimer_;
};
