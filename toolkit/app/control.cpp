#include "toolkit/app/control.h"

#include <QEvent>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QShortcut>
#include <QWidget>

#include <algorithm>
#include <utility>

class TControl::Guard {
public:
    explicit Guard(QWidget* widget) : widget(widget) {}
    QPointer<QWidget> widget;  // null once Qt has destroyed it with its parent
};

// Watches the container's size and keeps its aligned children in place.
class TWinControl::Aligner : public QObject {
public:
    explicit Aligner(QWidget* host) : host_(host) { host->installEventFilter(this); }
    ~Aligner() override {
        if (host_) host_->removeEventFilter(this);
    }

    void set(QWidget* widget, TAlign align) {
        std::erase_if(entries_, [widget](const Entry& e) { return e.widget == widget || !e.widget; });
        if (align != alNone) entries_.push_back({widget, align});
        arrange();
    }

    void arrange() {
        if (!host_) return;
        const QRect area = host_->contentsRect();
        int top = area.top();
        int bottom = area.top() + area.height();  // exclusive
        for (const Entry& e : entries_) {
            if (!e.widget || e.align != alTop) continue;
            const int height = e.widget->height();
            e.widget->setGeometry(area.left(), top, area.width(), height);
            top += e.widget->height();
        }
        for (const Entry& e : entries_) {
            if (!e.widget || e.align != alBottom) continue;
            const int height = e.widget->height();
            e.widget->setGeometry(area.left(), bottom - height, area.width(), height);
            bottom -= e.widget->height();
        }
        int right = area.left() + area.width();  // exclusive
        for (const Entry& e : entries_) {
            if (!e.widget || e.align != alRight || e.widget->isHidden()) continue;
            const int width = e.widget->width();
            e.widget->setGeometry(right - width, top, width, std::max(0, bottom - top));
            right -= e.widget->width();
        }
        for (const Entry& e : entries_) {
            if (!e.widget || e.align != alClient) continue;
            e.widget->setGeometry(area.left(), top, std::max(0, right - area.left()), std::max(0, bottom - top));
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == host_ && event->type() == QEvent::Resize) arrange();
        return false;
    }

private:
    struct Entry {
        QPointer<QWidget> widget;
        TAlign align;
    };
    QPointer<QWidget> host_;
    std::vector<Entry> entries_;
};

// ---- TControl ----

TControl::TControl(TComponent* owner, TWinControl* parent, QWidget* widget)
    : TComponent(owner), widget_(std::make_unique<Guard>(widget)), parent_(parent) {
    tabOrder_ = parent_ ? static_cast<int>(parent_->children_.size()) : 0;
    if (parent_) parent_->add_child(this);
}

TControl::~TControl() {
    if (parent_) parent_->remove_child(this);
    delete widget_->widget.data();
}

QWidget* TControl::Widget() const { return widget_->widget.data(); }

QWidget* TControl::HostOf(TWinControl* parent) { return parent ? parent->Widget() : nullptr; }

void TControl::SetBounds(int left, int top, int width, int height) {
    Widget()->setGeometry(left, top, width, height);
    if (align_ != alNone && parent_) parent_->Realign();
}

int TControl::Left() const { return Widget()->x(); }
int TControl::Top() const { return Widget()->y(); }
int TControl::Width() const { return Widget()->width(); }
int TControl::Height() const { return Widget()->height(); }

void TControl::SetAlign(TAlign align) {
    align_ = align;
    if (parent_) parent_->set_child_align(Widget(), align);
}

void TControl::SetEnabled(bool enabled) { Widget()->setEnabled(enabled); }
bool TControl::Enabled() const { return Widget()->isEnabled(); }

void TControl::SetHint(const std::string& hint) { Widget()->setToolTip(QString::fromStdString(hint)); }
std::string TControl::Hint() const { return Widget()->toolTip().toStdString(); }

void TControl::SetTabOrder(int order) {
    tabOrder_ = order;
    TWinControl* root = parent_;
    while (root && root->parent_) root = root->parent_;
    if (root) root->update_focus_chain();
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner, TWinControl* parent, QWidget* widget)
    : TControl(owner, parent, widget), aligner_(std::make_unique<Aligner>(widget)) {}

TWinControl::~TWinControl() {
    for (TControl* child : children_) child->parent_ = nullptr;
}

void TWinControl::PlaceWidget(QWidget* widget, int left, int top, int width, int height, TAlign align) {
    widget->setGeometry(left, top, width, height);
    aligner_->set(widget, align);
}

std::vector<TControl*> TWinControl::ControlsInTabOrder() const {
    std::vector<TControl*> ordered = children_;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TControl* a, const TControl* b) { return a->tabOrder_ < b->tabOrder_; });
    return ordered;
}

void TWinControl::Realign() { aligner_->arrange(); }

void TWinControl::add_child(TControl* child) { children_.push_back(child); }

void TWinControl::remove_child(TControl* child) {
    std::erase(children_, child);
    if (child->align_ != alNone) aligner_->set(child->Widget(), alNone);
}

void TWinControl::set_child_align(QWidget* widget, TAlign align) { aligner_->set(widget, align); }

namespace {

void collect_focus_widgets(const TWinControl& container, std::vector<QWidget*>& chain) {
    for (TControl* child : container.ControlsInTabOrder()) {
        if (QWidget* focus = child->FocusWidget()) chain.push_back(focus);
        if (auto* inner = dynamic_cast<TWinControl*>(child)) collect_focus_widgets(*inner, chain);
    }
}

}  // namespace

void TWinControl::update_focus_chain() {
    std::vector<QWidget*> chain;
    collect_focus_widgets(*this, chain);
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TWinControl::AddShortcut(const std::string& key, TNotifyEvent handler) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromStdString(key)), Widget());
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, shortcut,
                     [this, handler = std::move(handler)] { FireEvent(handler, this); });
}
