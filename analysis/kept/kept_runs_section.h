#pragma once
// Kept runs: when a run starts, the run on the chart is kept as thin lines
// in a colour of its own (with "Keep runs" checked), at most kMaxKept, the
// oldest going first. Each is listed with a swatch of its colour, its mode
// and gains ("#3 position Kp 250 Ki 60 Kd 0 Kv 30"), can be hidden and
// removed (several at once), shows in the chart's legend under "Kept runs", and is offered to
// the CSV export as extra columns. The run selected in the list is drawn at
// full strength over the others, which fade.
#include "core/measure/metrics.h"
#include "toolkit/app/colors.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class RunFeed;
class RunRecord;
class TChart;
class TChartOverlay;

class KeptRunsSection : public QWidget {
public:
    KeptRunsSection(RunFeed& feed, const RunRecord& record, TChart& chart, QWidget* parent = nullptr);
    ~KeptRunsSection() override;

    static constexpr std::size_t kMaxKept = 8;
    // The runs' colours: a qualitative palette, told apart on white and from
    // each other. A new run takes the first colour no kept run has.
    static const std::array<TColor, kMaxKept> kPalette;

    struct KeptRun {
        int number = 0;  // #1, #2, ... in the order they were kept
        std::string label;
        TColor colour = 0;
        RegulationGains gains{};  // as the run started
        RunMetrics metrics;     // at its end
        std::array<TChartOverlay*, 4> lines{};  // by series; null where that series had no run points
        std::array<std::string, 4> titles;      // the series' titles then ("y (PWM)")
        std::string switches;  // a run that changed its mode: "position → speed at 300 ms"; else empty
    };
    const std::vector<KeptRun>& kept() const { return kept_; }
    // Keeps the run on the chart now, as a run's start does.
    void keep_chart_run();
    void set_shown(std::size_t index, bool shown);
    bool shown(std::size_t index) const;
    void remove(std::size_t index);
    // "Remove": every run selected in the list; the chart's axes then fit
    // what is left.
    void remove_selected();
    bool keeping() const;
    // The run drawn at full strength: -1 for none, when all are drawn alike.
    void select(int index);
    int selected() const;

    // Told after a run was kept, removed, hidden, shown or selected.
    std::function<void()> changed;

protected:
    void changeEvent(QEvent* event) override;

private:
    void fit_rows();
    void list_changed();
    void restyle();

    RunFeed& feed_;
    const RunRecord& record_;
    TChart& chart_;
    int subscription_;
    int nextNumber_ = 1;
    int selectedNumber_ = 0;  // the selected run's number; 0 for none
    std::vector<KeptRun> kept_;  // oldest first
    QCheckBox* keep_;
    QListWidget* list_ = nullptr;
    bool filling_ = false;  // the list is being rebuilt: its item changes are no user's
};

// "#3 position Kp 250 Ki 60 Kd 0 Kv 30", "#4 speed Kp 250 Ki 60 Kd 0 w 80", or
// for a run that changed its mode "#5 position → speed at 300 ms Kp 250 ...",
// with the gains of the mode it started in.
std::string kept_run_label(int number, const RunRecord& record);
// The run's short name, for the legend and the export: "#3 Kp 100 Ki 10 Kd 0 w 80",
// and for a run that changed its mode "#5 Kp 250 Ki 60 Kd 0 Kv 30, position → speed at 300 ms".
std::string kept_run_name(const KeptRunsSection::KeptRun& run);
