#pragma once
// Push button; OnClick runs when it is clicked.
#include "toolkit/app/control.h"
#include "toolkit/app/events.h"

#include <string>

class TButton : public TControl {
public:
    TButton(TComponent* owner, TWinControl* parent);

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    QWidget* FocusWidget() const override { return Widget(); }

    TNotifyEvent OnClick;
};
