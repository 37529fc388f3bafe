#include "toolkit/controls/check_box.h"

#include <QCheckBox>

#include <algorithm>

namespace {

// Qt toggles only on the box or its text; this control's whole rectangle counts.
class WholeRectCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

QCheckBox* box_of(const TCheckBox& control) { return static_cast<QCheckBox*>(control.Widget()); }

}  // namespace

TCheckBox::TCheckBox(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, new WholeRectCheckBox(HostOf(parent))) {
    QCheckBox* box = box_of(*this);
    QObject::connect(box, &QCheckBox::toggled, box, [this] { FireEvent(OnClick, this); });
}

void TCheckBox::SetBounds(int left, int top, int width, int height) {
    designedWidth_ = width;
    TControl::SetBounds(left, top, width, height);
    fit_caption();
}

void TCheckBox::SetCaption(const std::string& caption) {
    box_of(*this)->setText(QString::fromStdString(caption));
    fit_caption();
}

void TCheckBox::fit_caption() {
    QCheckBox* box = box_of(*this);
    box->ensurePolished();
    box->resize(std::max(designedWidth_, box->sizeHint().width()), box->height());
}
std::string TCheckBox::Caption() const { return box_of(*this)->text().toStdString(); }
bool TCheckBox::Checked() const { return box_of(*this)->isChecked(); }
void TCheckBox::SetChecked(bool checked) { box_of(*this)->setChecked(checked); }
