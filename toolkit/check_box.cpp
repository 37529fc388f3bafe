#include "toolkit/check_box.h"

#include <QCheckBox>

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

void TCheckBox::SetCaption(const std::string& caption) { box_of(*this)->setText(QString::fromStdString(caption)); }
std::string TCheckBox::Caption() const { return box_of(*this)->text().toStdString(); }
bool TCheckBox::Checked() const { return box_of(*this)->isChecked(); }
void TCheckBox::SetChecked(bool checked) { box_of(*this)->setChecked(checked); }
