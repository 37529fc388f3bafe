#pragma once
// Opens and closes the analysis panel beside the window, from the chart's
// right-click menu and F9. The panel is made on its first opening; until
// then the window is exactly as it was. Opening widens the window by the
// panel's width and closing gives the window back as it was: the page
// beside the panel never gets narrower than designed, the panel's width
// gives way to the screen's edge, and the window stays on the screen.
#include "analysis/live/analysis_host.h"
#include "analysis/live/run_feed.h"
#include "analysis/live/run_record.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AnalysisPanel;
class EditChanges;
class GainEdits;
class CursorSection;
class GainMapSection;
class KeptRunsSection;
class KeptRunsTable;
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
    KeptRunsTable* kept_table() const { return keptTable_; }

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

    // The panel's width, kept to its limits and to the room the screen
    // leaves beside the page; the window grows or shrinks by the change and
    // the page keeps its width.
    void set_panel_width(int width);
    // Where the window may lie on the screen (the screen's free area unless
    // a test says otherwise).
    void set_screen_area(std::function<QRect()> area) { screenArea_ = std::move(area); }
    // The one reader and filler of the window's gain edits.
    GainEdits& gains() { return *gains_; }
    // The window chose another program: the gain map follows it.
    void program_chosen();

private:
    void build_panel();
    void place_cursor(int which);
    // The panel's width for `asked` beside a page `page` wide: its limits,
    // then at most the screen's room.
    int fitting_width(int asked, int page) const;
    // Moves the window left as far as its right edge is off the screen.
    void keep_on_screen();
    void keep_window_place() const;

    AnalysisHost host_;
    RunRecord record_;
    MetricsSection* metrics_ = nullptr;  // the panel's sections, once it is made
    KeptRunsSection* keptRuns_ = nullptr;
    CursorSection* cursors_ = nullptr;
    KeptRunsTable* keptTable_ = nullptr;
    GainMapSection* map_ = nullptr;
    std::unique_ptr<SetpointLine> setpoint_;  // from the panel's first opening on
    std::unique_ptr<EditChanges> editChanges_;  // likewise; outlives the sections that listen
    int subscription_ = 0;
    AnalysisPanel* panel_ = nullptr;  // a child of the window's widget
    QShortcut* shortcut_ = nullptr;
    std::unique_ptr<GainEdits> gains_;  // after editChanges_: it listens to it
    int minWidthClosed_ = 0;  // the window's least width while the panel is closed
    int designedWidth_ = 0;   // the window's width as designed: the page's least beside the panel
    // The window before the panel opened, the page's width then, and where
    // the window was moved to stay on the screen (if it was): a close gives
    // that back unless the user has resized or moved the window since.
    QSize closedSize_;
    QPoint closedPlace_;
    int pageAtOpen_ = 0;
    bool widthChosen_ = false;  // dragged or restored; until then the panel opens as wide as its sections need
    std::optional<QPoint> movedTo_;
    std::function<QRect()> screenArea_;
};
