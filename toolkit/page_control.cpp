#include "toolkit/page_control.h"

#include <QTabWidget>

namespace {

QTabWidget* tabs_of(const TPageControl& control) { return static_cast<QTabWidget*>(control.Widget()); }

}  // namespace

TPageControl::TPageControl(TComponent* owner, TWinControl* parent)
    : TWinControl(owner, parent, new QTabWidget(HostOf(parent))) {}

void TPageControl::SetActivePage(TTabSheet* page) { tabs_of(*this)->setCurrentWidget(page->Widget()); }

TTabSheet* TPageControl::ActivePage() const {
    QWidget* current = tabs_of(*this)->currentWidget();
    for (TControl* child : ControlsInTabOrder()) {
        if (child->Widget() == current) return dynamic_cast<TTabSheet*>(child);
    }
    return nullptr;
}

int TPageControl::PageCount() const { return tabs_of(*this)->count(); }

TTabSheet::TTabSheet(TComponent* owner, TPageControl* pageControl)
    : TWinControl(owner, pageControl, new QWidget(HostOf(pageControl))), pageControl_(pageControl) {
    tabs_of(*pageControl)->addTab(Widget(), QString());
}

void TTabSheet::SetCaption(const std::string& caption) {
    QTabWidget* tabs = tabs_of(*pageControl_);
    tabs->setTabText(tabs->indexOf(Widget()), QString::fromStdString(caption));
}

std::string TTabSheet::Caption() const {
    QTabWidget* tabs = tabs_of(*pageControl_);
    return tabs->tabText(tabs->indexOf(Widget())).toStdString();
}
