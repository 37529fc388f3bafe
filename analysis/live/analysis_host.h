#pragma once
// What the window hands the panel's sections: they read and fill these, and
// never reach the window any other way. A leaf: the dock and every section
// include it, and it includes none of them.
class GainEdits;
class RunFeed;
class TCheckBox;
class TChart;
class TForm;
class TLabeledEdit;
class TPopupMenu;
class TWinControl;

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
    TWinControl* chartPage = nullptr;  // holds the chart; strips go under it
    GainEdits* gains = nullptr;        // set by the dock: reads and fills the edits above
};
