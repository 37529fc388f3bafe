#pragma once
// Kept runs: when a run starts, the run on the chart is kept as thin, faded
// lines in its series' colours (with "Keep runs" checked), at most
// kMaxKept, the oldest going first. Each is listed with its mode and gains
// ("#3 position Kp 250 Ki 60 Kd 0 Kv 30"), can be hidden and removed, and
// is offered to the CSV export as extra columns.
#include <QWidget>

#include <array>
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

    struct KeptRun {
        int number = 0;  // #1, #2, ... in the order they were kept
        std::string label;
        std::array<TChartOverlay*, 4> lines{};  // by series; null where that series had no run points
    };
    const std::vector<KeptRun>& kept() const { return kept_; }
    // Keeps the run on the chart now, as a run's start does.
    void keep_chart_run();
    void set_shown(std::size_t index, bool shown);
    void remove(std::size_t index);
    bool keeping() const;

private:
    void list_changed();

    RunFeed& feed_;
    const RunRecord& record_;
    TChart& chart_;
    int subscription_;
    int nextNumber_ = 1;
    std::vector<KeptRun> kept_;  // oldest first
    QCheckBox* keep_;
    QListWidget* list_;
    bool filling_ = false;  // the list is being rebuilt: its item changes are no user's
};

// "#3 position Kp 250 Ki 60 Kd 0 Kv 30", "#4 speed Kp 250 Ki 60 Kd 0 w 80", or
// for a run that changed its mode "#5 position → speed at 300 ms Kp 250 ...",
// with the gains of the mode it started in.
std::string kept_run_label(int number, const RunRecord& record);
