#pragma once
// Plain containers: a raised panel and a captioned group box. Children's
// positions are relative to the container's top-left corner.
#include "toolkit/app/control.h"

#include <string>

class TPanel : public TWinControl {
public:
    TPanel(TComponent* owner, TWinControl* parent);
};

class TGroupBox : public TWinControl {
public:
    TGroupBox(TComponent* owner, TWinControl* parent);
    void SetCaption(const std::string& caption);
    std::string Caption() const;
};
