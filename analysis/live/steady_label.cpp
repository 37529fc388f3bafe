#include "analysis/live/steady_label.h"

#include <QAbstractButton>
#include <QStringList>

#include <algorithm>

SteadyLabel::SteadyLabel(int lines, QWidget* parent) : SteadyLabel(lines, QString(), parent) {}

SteadyLabel::SteadyLabel(int lines, const QString& text, QWidget* parent) : QLabel(text, parent), lines_(lines) {
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

int SteadyLabel::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    // As tall as `lines` wrapped lines are drawn, which may be a pixel more than their spacing.
    const QString sample = QStringList(lines_, QStringLiteral("X")).join('\n');
    const int drawn = fontMetrics().boundingRect(QRect(0, 0, 1 << 16, 1 << 16), Qt::TextWordWrap, sample).height();
    const int least = std::max(lines_ * fontMetrics().lineSpacing(), drawn) + m.top() + m.bottom() + 2 * margin();
    const int needed = std::max(least, QLabel::heightForWidth(width));
    if (width != width_) {
        width_ = width;
        tallest_ = 0;
    }
    tallest_ = std::max(tallest_, needed);
    return tallest_;
}

QSize SteadyLabel::sizeHint() const { return {QLabel::sizeHint().width(), heightForWidth(std::max(1, width()))}; }

QSize SteadyLabel::minimumSizeHint() const { return {0, heightForWidth(std::max(1, width()))}; }

void swap_buttons(QAbstractButton* from, QAbstractButton* to) {
    to->setEnabled(true);
    if (from->hasFocus()) to->setFocus(Qt::OtherFocusReason);
    from->setEnabled(false);
}
