#include "toolkit/controls/labeled_edit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

class TLabeledEdit::Label {
public:
    explicit Label(QWidget* parent) : widget(new QLabel(parent)) {}
    QPointer<QLabel> widget;  // a sibling of the edit in the same parent
};

namespace {

QLineEdit* edit_of(const TLabeledEdit& control) { return static_cast<QLineEdit*>(control.Widget()); }

}  // namespace

TLabeledEdit::TLabeledEdit(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, new QLineEdit(HostOf(parent))), label_(std::make_unique<Label>(HostOf(parent))) {
    label_->widget->setBuddy(Widget());
}

TLabeledEdit::~TLabeledEdit() { delete label_->widget.data(); }

void TLabeledEdit::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    place_label();
}

void TLabeledEdit::SetEnabled(bool enabled) {
    TControl::SetEnabled(enabled);
    label_->widget->setEnabled(enabled);
}

std::string TLabeledEdit::Text() const { return edit_of(*this)->text().toStdString(); }
void TLabeledEdit::SetText(const std::string& text) { edit_of(*this)->setText(QString::fromStdString(text)); }

void TLabeledEdit::SetLabelCaption(const std::string& caption) {
    label_->widget->setText(QString::fromStdString(caption));
    place_label();
}

std::string TLabeledEdit::LabelCaption() const { return label_->widget->text().toStdString(); }

void TLabeledEdit::SetNumbersOnly(bool numbersOnly) {
    QLineEdit* edit = edit_of(*this);
    delete edit->validator();
    edit->setValidator(numbersOnly ? new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit) : nullptr);
}

QWidget* TLabeledEdit::LabelWidget() const { return label_->widget.data(); }

void TLabeledEdit::place_label() {
    QLabel* label = label_->widget.data();
    label->ensurePolished();
    label->resize(label->sizeHint());
    const QRect edit = Widget()->geometry();
    label->move(edit.left() - LabelSpacing - label->width(), edit.top() + (edit.height() - label->height()) / 2);
}
