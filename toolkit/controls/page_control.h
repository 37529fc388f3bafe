#pragma once
// Tabbed pages: a page control and its tab sheets, each sheet one page.
#include "toolkit/app/control.h"

#include <string>

class TTabSheet;

class TPageControl : public TWinControl {
public:
    TPageControl(TComponent* owner, TWinControl* parent);

    void SetActivePage(TTabSheet* page);
    TTabSheet* ActivePage() const;
    QWidget* FocusWidget() const override { return Widget(); }

private:
    friend class TTabSheet;
};

class TTabSheet : public TWinControl {
public:
    // Becomes the last page of `pageControl`.
    TTabSheet(TComponent* owner, TPageControl* pageControl);

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    TPageControl* PageControl() const { return pageControl_; }

private:
    TPageControl* pageControl_;
};
