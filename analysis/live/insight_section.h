#pragma once
// The panel's view of the integer arithmetic: event lanes under the plot and
// the real-valued twin over it (both off until turned on, and both can be
// turned on during a run), the headroom the run has used so far with the
// event counts, and tints on the edits whose text the run reads otherwise.
#include "analysis/live/analysis_host.h"
#include "analysis/live/event_lanes.h"
#include "core/measure/regulation_events.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class EditChanges;
class EditTints;
class QCheckBox;
class QLabel;
class TwinOverlay;
struct RunPassInfo;
struct RunStartInfo;

class InsightSection : public QWidget {
public:
    InsightSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent = nullptr);
    ~InsightSection() override;

    void set_lanes_shown(bool shown);
    void set_twin_shown(bool shown);
    void set_difference_shown(bool shown);

    // For tests and the benchmark; null until first shown.
    EventLanes* lanes() const { return lanes_; }
    TwinOverlay* overlay() const { return overlay_.get(); }
    const RunHeadroom& headroom() const { return headroom_; }

    static constexpr const char* kTitle = "Integer arithmetic";
    static constexpr const char* kObjectName = "insightSection";

private:
    void on_start(const RunStartInfo& start);
    void on_pass(const RunPassInfo& pass);
    void show_headroom();

    AnalysisHost host_;
    int subscription_ = 0;
    QCheckBox* lanesBox_;
    QCheckBox* twinBox_;
    QCheckBox* differenceBox_;
    std::array<QLabel*, 4> headroomLabels_{};  // speed |P+I+D|, |eSum|, then position
    std::array<QLabel*, kRegulationEventCount> counts_{};
    QPointer<EventLanes> lanes_;
    std::unique_ptr<TwinOverlay> overlay_;
    std::unique_ptr<EditTints> tints_;
    RunHeadroom headroom_;
};
