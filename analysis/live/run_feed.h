#pragma once
// What a regulation run tells the panels that follow it: its start, with
// the mode and the gains it uses, each completed pass, and its end. The
// window's run loop publishes; panels listen. The feed also carries the
// hold a panel puts on the run (pause, single pass), which the run loop
// obeys between passes.
#include "core/engine/regulation.h"
#include "core/measure/regulation_events.h"

#include <cstdint>
#include <functional>
#include <vector>

struct RunStartInfo {
    bool speedMode = false;
    RegulationGains gains{};  // the 16-bit values the run uses; w is 0 in position mode
};

// One completed pass, as its chart points show it.
struct RunPassInfo {
    std::int64_t pass = 0;          // 1 for the run's first pass
    std::int32_t runTime = 0;       // ms, the X of the pass's chart points
    bool speedMode = false;         // the mode the pass's points followed
    std::int16_t command = 0;       // speed mode: the setpoint w; position mode: the commanded X
    std::int16_t response = 0;      // speed mode: actualSpeed; position mode: actualPosition
    std::int16_t speedY = 0;        // speedController.y, before the PWM limit
    std::int16_t positionY = 0;     // positionController.y, before its limit
    std::int16_t actualSpeed = 0;
    std::int16_t actualPosition = 0;
    // The pass's wraps and limits, in the order the pass met them, and the
    // real-valued twin's counterparts of the chart's first three series.
    PassEvents events{};
    double twinY = 0.0;  // speed mode: its speed loop's y; position mode: its position loop's y
    double twinSpeed = 0.0;
    double twinPosition = 0.0;
};

class RunFeed {
public:
    struct Listener {
        std::function<void(const RunStartInfo&)> onStart;  // the chart has been cleared for the run
        std::function<void(const RunPassInfo&)> onPass;
        std::function<void()> onEnd;  // the run returned (stopped, or its program ended)
        // A run is about to clear the chart: what it shows is still there.
        std::function<void()> onStarting;
    };

    // Returns an id for unsubscribe.
    int subscribe(Listener listener);
    void unsubscribe(int id);

    // A new run starts going: any hold ends, so that a run started while
    // another is held (nested in its pause) runs.
    void publish_starting();
    void publish_start(const RunStartInfo& start);
    void publish_pass(const RunPassInfo& pass);
    void publish_end();
    // Nesting depth of the runs going now (0: none).
    int runs_going() const { return runsGoing_; }

    // The hold between passes: pause holds, next_pass lets exactly one pass
    // through and holds again, resume goes on.
    void pause();
    void next_pass();
    void resume();
    bool paused() const { return paused_; }
    // Asked by the run loop before each pass: true while it is to wait.
    bool holding() const { return paused_ && passesAllowed_ == 0; }
    // The run loop starts a pass: uses up one single pass of a pause.
    void pass_begins();
    // Told whenever the hold changes (buttons follow it).
    std::function<void()> onHoldChange;

private:
    void hold_changed();
    struct Entry {
        int id;
        Listener listener;
    };
    std::vector<Entry> listeners_;
    int nextId_ = 1;
    int runsGoing_ = 0;
    bool paused_ = false;
    int passesAllowed_ = 0;
};
