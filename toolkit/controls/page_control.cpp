#include "toolkit/controls/page_control.h"

#include <algorithm>

#include <QProxyStyle>
#include <QRect>
#include <QSize>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>

namespace {

// Pages get the designed client area whatever the style's metrics: the
// tabs take the top 24 pixels and a 4-pixel border runs round the rest
// (a 668 x 449 page control has 660 x 421 pages).
class DesignedPageArea : public QProxyStyle {
public:
    static constexpr int TabsHeight = 24;
    static constexpr int Border = 4;

    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override {
        if (element == SE_TabWidgetTabContents && option) {
            const QRect r = option->rect;
            const int top = std::max(TabsHeight, QProxyStyle::subElementRect(SE_TabWidgetTabPane, option, widget).top() + 1);
            return QRect(r.left() + Border, r.top() + top, r.width() - 2 * Border, r.height() - top - Border);
        }
        return QProxyStyle::subElementRect(element, option, widget);
    }

    // Tabs no taller than the designed strip, whatever the font asks for.
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        if (type == CT_TabBarTab) size.setHeight(std::min(size.height(), TabsHeight - 1));
        return size;
    }
};

QTabWidget* make_tabs(QWidget* parent) {
    auto* tabs = new QTabWidget(parent);
    auto* style = new DesignedPageArea;
    style->setParent(tabs);
    tabs->setStyle(style);
    tabs->tabBar()->setStyle(style);
    return tabs;
}

QTabWidget* tabs_of(const TPageControl& control) { return static_cast<QTabWidget*>(control.Widget()); }

}  // namespace

TPageControl::TPageControl(TComponent* owner, TWinControl* parent)
    : TWinControl(owner, parent, make_tabs(HostOf(parent))) {}

void TPageControl::SetActivePage(TTabSheet* page) { tabs_of(*this)->setCurrentWidget(page->Widget()); }

TTabSheet* TPageControl::ActivePage() const {
    QWidget* current = tabs_of(*this)->currentWidget();
    for (TControl* child : ControlsInTabOrder()) {
        if (child->Widget() == current) return dynamic_cast<TTabSheet*>(child);
    }
    return nullptr;
}


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
