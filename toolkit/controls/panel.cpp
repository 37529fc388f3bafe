#include "toolkit/controls/panel.h"

#include <QFrame>
#include <QGroupBox>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace {

QFrame* raised_panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(1);
    // A panel has the button face, also on a tab page whose own colour differs.
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
    return frame;
}

// The caption sits on the frame's top line, and children are placed from
// the box's top-left corner, so a child at the top meets the frame below
// the caption as designed.
class CaptionOnFrameGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.adjusted(1, 1, 0, 0));
        if (title().isEmpty()) return;
        const QRect caption(8, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(caption, palette().color(QPalette::Window));
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, title());
    }
};

}  // namespace

TPanel::TPanel(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, raised_panel(HostOf(parent))) {}

TGroupBox::TGroupBox(TComponent* owner, TWinControl* parent)
    : TWinControl(owner, parent, new CaptionOnFrameGroupBox(HostOf(parent))) {}

void TGroupBox::SetCaption(const std::string& caption) {
    static_cast<QGroupBox*>(Widget())->setTitle(QString::fromStdString(caption));
}

std::string TGroupBox::Caption() const { return static_cast<QGroupBox*>(Widget())->title().toStdString(); }
