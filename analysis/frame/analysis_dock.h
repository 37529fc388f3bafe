#pragma once
// Opens and closes the analysis panel beside the window, from the chart's
// right-click menu and F9. The panel is made on its first opening; until
// then the window is exactly as it was. Opening widens the window by the
// panel's width, closing narrows it back.
#include "analysis/live/analysis_host.h"
#include "analysis/live/run_feed.h"
#include "analysis/live/run_record.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class AnalysisPanel;
class EditChanges;
class CursorSection;
class KeptRunsSection;
class MetricsSection;
class SetpointLine;
class QShortcut;
class TChartOverlay;

class AnalysisDock {
public:
    explicit AnalysisDock(const AnalysisHost& host);
    ~AnalysisDock();
    AnalysisDock(const AnalysisDock&) = delete;
    AnalysisDock& operator=(const AnalysisDock&) = delete;

    void open();
    void close();
    // Opens the panel at start if the user left it open, at the width left.
    void restore();
    void toggle();
    bool is_open() const;
    // Null until the panel is first opened.
    AnalysisPanel* panel() const { return panel_; }
    const RunRecord& record() const { return record_; }
    // The panel's sections: null until it is first opened.
    MetricsSection* metrics() const { return metrics_; }
    KeptRunsSection* kept_runs() const { return keptRuns_; }
    CursorSection* cursors() const { return cursors_; }

    // The kept runs' lines, oldest run first, each named by its run and
    // series ("#3 Kp 100 Ki 10 Kd 0 w 80: y (PWM)"); none until the panel is made.
    struct KeptLine {
        std::string name;
        const TChartOverlay* line = nullptr;
    };
    std::vector<KeptLine> kept_lines() const;

    // Chart menu items, after the window's own.
    static constexpr const char* kCursorACaption = "Cursor A here";
    static constexpr const char* kCursorBCaption = "Cursor B here";
    static constexpr const char* kRemoveCursorsCaption = "Remove cursors";
    static constexpr const char* kFitCaption = "Fit to data";
    static constexpr const char* kRightAxisCaption = "Right-hand axis for y and v";

    static constexpr const char* kMenuCaption = "Analysis panel (F9)";

    // With the panel open the chart keeps at least this width: the window
    // grows rather than squeeze it.
    static constexpr int kMinChartWidth = 400;
    // The panel's width, kept to its limits; the room comes from the chart's
    // side down to its least, then from the window's growing.
    void set_panel_width(int width);

private:
    void build_panel();
    int main_area_least() const;
    void place_cursor(int which);

    AnalysisHost host_;
    RunRecord record_;
    MetricsSection* metrics_ = nullptr;  // the panel's sections, once it is made
    KeptRunsSection* keptRuns_ = nullptr;
    CursorSection* cursors_ = nullptr;
    std::unique_ptr<SetpointLine> setpoint_;  // from the panel's first opening on
    std::unique_ptr<EditChanges> editChanges_;  // likewise; outlives the sections that listen
    int subscription_ = 0;
    AnalysisPanel* panel_ = nullptr;  // a child of the window's widget
    QShortcut* shortcut_ = nullptr;
    int minWidthClosed_ = 0;  // the window's least width while the panel is closed
};
