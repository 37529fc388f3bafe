#include "toolkit/controls/button.h"

#include <QPushButton>

TButton::TButton(TComponent* owner, TWinControl* parent) : TControl(owner, parent, new QPushButton(HostOf(parent))) {
    auto* button = static_cast<QPushButton*>(Widget());
    QObject::connect(button, &QPushButton::clicked, button, [this] { FireEvent(OnClick, this); });
}

void TButton::SetCaption(const std::string& caption) {
    static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(caption));
}

std::string TButton::Caption() const { return static_cast<QPushButton*>(Widget())->text().toStdString(); }
