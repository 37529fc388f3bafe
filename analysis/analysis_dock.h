#pragma once
// Opens and closes the analysis panel beside the window, from the chart's
// right-click menu and F9. The panel is made on its first opening; until
// then the window is exactly as it was. Opening widens the window by the
// panel's width, closing narrows it back.
#include "analysis/run_feed.h"

#include <memory>

class AnalysisPanel;
class TCheckBox;
class TChart;
class TForm;
class TLabeledEdit;
class TPopupMenu;
class QShortcut;

// What the window hands the panels: they read and fill these, and never
// reach the window any other way.
struct AnalysisHost {
    TForm* form = nullptr;
    TChart* chart = nullptr;
    TPopupMenu* chartMenu = nullptr;
    RunFeed* feed = nullptr;
    TLabeledEdit* kp = nullptr;
    TLabeledEdit* ki = nullptr;
    TLabeledEdit* kd = nullptr;
    TLabeledEdit* kv = nullptr;
    TLabeledEdit* w = nullptr;
    TLabeledEdit* pos = nullptr;
    TCheckBox* speedMode = nullptr;
};

class AnalysisDock {
public:
    explicit AnalysisDock(const AnalysisHost& host);
    ~AnalysisDock();
    AnalysisDock(const AnalysisDock&) = delete;
    AnalysisDock& operator=(const AnalysisDock&) = delete;

    void open();
    void close();
    void toggle();
    bool is_open() const;
    // Null until the panel is first opened.
    AnalysisPanel* panel() const { return panel_; }

    static constexpr const char* kMenuCaption = "Analysis panel (F9)";

private:
    void build_panel();

    AnalysisHost host_;
    AnalysisPanel* panel_ = nullptr;  // a child of the window's widget
    QShortcut* shortcut_ = nullptr;
};
