#include "toolkit/panel.h"

#include <QFrame>
#include <QGroupBox>
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

}  // namespace

TPanel::TPanel(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, raised_panel(HostOf(parent))) {}

TGroupBox::TGroupBox(TComponent* owner, TWinControl* parent)
    : TWinControl(owner, parent, new QGroupBox(HostOf(parent))) {}

void TGroupBox::SetCaption(const std::string& caption) {
    static_cast<QGroupBox*>(Widget())->setTitle(QString::fromStdString(caption));
}

std::string TGroupBox::Caption() const { return static_cast<QGroupBox*>(Widget())->title().toStdString(); }
