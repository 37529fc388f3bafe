#include "analysis/frame/analysis_panel.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QString>
#include <QVBoxLayout>

#include <algorithm>

// The strip along the panel's left edge that a drag widens or narrows it by.
class AnalysisPanel::Handle : public QWidget {
public:
    explicit Handle(AnalysisPanel* panel) : QWidget(panel), panel_(panel) {
        setCursor(Qt::SplitHCursor);
        setToolTip("Drag to widen or narrow the panel");
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return event->ignore();
        fromX_ = event->globalPosition().toPoint().x();
        fromWidth_ = panel_->width();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!event->buttons().testFlag(Qt::LeftButton) || !panel_->widthAsked) return;
        panel_->widthAsked(fromWidth_ + fromX_ - event->globalPosition().toPoint().x());
    }

private:
    AnalysisPanel* panel_;
    int fromX_ = 0;
    int fromWidth_ = 0;
};

// The sections' scroll area. It scrolls a control into view when the Tab
// key moves the focus to it, but not when the focus only moves on because
// its control was disabled under it ("Start" while a search starts): the
// panel stays where the user left it.
class AnalysisPanel::Scroll : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

protected:
    bool focusNextPrevChild(bool next) override {
        const QWidget* from = QApplication::focusWidget();
        if (from && !from->isEnabled()) return QWidget::focusNextPrevChild(next);
        return QScrollArea::focusNextPrevChild(next);
    }
};

AnalysisPanel::AnalysisPanel(QWidget* parent) : QWidget(parent) {
    resize(kWidth, height());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);

    auto* scroll = new Scroll(this);
    scroll_ = scroll;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);  // a narrowed panel clips nothing
    auto* column = new QWidget(scroll);
    sections_ = new QVBoxLayout(column);
    sections_->setContentsMargins(0, 0, 0, 0);
    sections_->setSpacing(6);
    sections_->addStretch(1);
    scroll->setWidget(column);
    scroll->viewport()->installEventFilter(this);
    outer->addWidget(scroll, 1);

    auto* gestures = new QLabel("Wheel zoom, Shift/Ctrl+wheel X/Y only, drag pan, double-click fit", this);
    outer->addWidget(gestures);
    auto* units = new QLabel("Gains are in hundredths: Kp 250 is a factor of 2.5.", this);
    outer->addWidget(units);

    // Over the left margin, above the rest.
    auto* handle = new Handle(this);
    handle->setGeometry(0, 0, 4, 1 << 14);
    handle->raise();
}

void AnalysisPanel::keep_wheel_for_scrolling() {
    const auto keep = [this](QWidget* w) {
        w->setFocusPolicy(Qt::StrongFocus);  // a wheel turn gives no focus
        w->installEventFilter(this);
    };
    for (QComboBox* box : findChildren<QComboBox*>()) keep(box);
    for (QAbstractSpinBox* box : findChildren<QAbstractSpinBox*>()) keep(box);
}

// A wheel turn over an unfocused combo or spin box goes to the scroll area
// instead, as if the box were not there.
bool AnalysisPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport()) {
        if (event->type() == QEvent::Resize && viewportResized) viewportResized(scroll_->viewport()->height());
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Wheel && !static_cast<QWidget*>(watched)->hasFocus()) {
        QCoreApplication::sendEvent(scroll_->viewport(), event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AnalysisPanel::add_section(const QString& title, QWidget* content) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(content);
    // Sections stack from the top; the stretch stays last.
    sections_->insertWidget(sections_->count() - 1, box);
}

int AnalysisPanel::first_width() const {
    const QMargins margins = layout()->contentsMargins();
    const int column = scroll_->widget()->minimumSizeHint().width();
    const int needed = column + scroll_->verticalScrollBar()->sizeHint().width() + 2 * scroll_->frameWidth() +
                       margins.left() + margins.right();
    return std::clamp(needed, kWidth, kMaxWidth);
}
