#pragma once
// Check box that toggles on a click anywhere in its rectangle. OnClick runs
// on every change of its state; Checked() is then already the new state.
#include "toolkit/app/control.h"
#include "toolkit/app/events.h"

#include <string>

class TCheckBox : public TControl {
public:
    TCheckBox(TComponent* owner, TWinControl* parent);

    // The width grows where the font needs more room for the caption.
    void SetBounds(int left, int top, int width, int height) override;
    void SetCaption(const std::string& caption);
    std::string Caption() const;
    bool Checked() const;
    void SetChecked(bool checked);
    QWidget* FocusWidget() const override { return Widget(); }

    TNotifyEvent OnClick;

private:
    void fit_caption();
    int designedWidth_ = 0;
};
