#pragma once
// "Find gains": the best kp, ki, kd, kv within ranges for one metric under
// up to three limits, and without wraps if asked, found by the search
// `vantrel-trace tune` makes, in this process on worker threads at a lower
// priority (analysis/work), over the program and mode the window would run. The progress shows the
// sets measured and the time left; the best set so far shows as it improves,
// and at the end whether it is exact (every set of the box measured) or the
// best found; "Apply" fills the edits with it and starts nothing. The
// feasible sets found are drawn against a second column, the front of sets
// that no other beats in both highlighted; a click on a point fills the edits.
#include "analysis/live/analysis_host.h"
#include "analysis/search/find_gains_model.h"
#include "analysis/work/background_job.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
    // The search Start would ask for; none, with the status saying why, for
    // a range or limit that does not read.
    std::optional<GainSearchRequest> request();
    // The scatter's sets as "Copy as CSV" puts them on the clipboard.
    std::string scatter_csv() const;

private:
    // Feasible sets found and, unless null, the progress after them.
    void take(const std::vector<GainSearchHit>& found, const GainSearchProgress* progress, std::string boxSets);
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
    FindGainsModel model_;
    BackgroundJob job_;
    bool cancelled_ = false;
    QString noneFound_;  // why the search ended without a feasible set
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
