#pragma once
// Status bar with fixed-width text panels, left to right.
#include "toolkit/app/control.h"

#include <memory>
#include <string>
#include <vector>

class QLabel;

class TStatusPanel {
public:
    explicit TStatusPanel(QLabel* label);
    void SetText(const std::string& text);
    std::string Text() const;
    int Width() const;
    // From now on the panel widens where its text needs more room than the
    // width it was given, and narrows back to that width.
    void SetFitText();
    QWidget* Widget() const;

private:
    QLabel* label_;  // owned by the status bar's widget
};

class TStatusBar : public TControl {
public:
    TStatusBar(TComponent* owner, TWinControl* parent);
    ~TStatusBar() override;

    TStatusPanel* AddPanel(int width);
    TStatusPanel* Panels(int index) const;

private:
    std::vector<std::unique_ptr<TStatusPanel>> panels_;
};
