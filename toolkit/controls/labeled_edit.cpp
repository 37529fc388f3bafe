#include "toolkit/controls/labeled_edit.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QToolTip>

class TLabeledEdit::Label {
public:
    explicit Label(QWidget* parent) : widget(new QLabel(parent)) {}
    QPointer<QLabel> widget;  // a sibling of the edit in the same parent
    QPalette untinted;        // the edit's own, while a tint shows
};

// Sees each typed text before the edit does: a digits-only edit refuses
// anything else without a word, and OnRefused says what it was.
class TLabeledEdit::KeyWatch : public QObject {
public:
    KeyWatch(TLabeledEdit& control, QObject* parent) : QObject(parent), control_(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !control_.OnRefused) return false;
        const auto* edit = static_cast<QLineEdit*>(watched);
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!edit->validator() || typed.isEmpty() || !typed.at(0).isPrint()) return false;
        for (const QChar c : typed) {
            if (!c.isDigit()) {
                control_.OnRefused(typed.toStdString());
                break;
            }
        }
        return false;
    }

private:
    TLabeledEdit& control_;
};

namespace {

QLineEdit* edit_of(const TLabeledEdit& control) { return static_cast<QLineEdit*>(control.Widget()); }

}  // namespace

TLabeledEdit::TLabeledEdit(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, new QLineEdit(HostOf(parent))), label_(std::make_unique<Label>(HostOf(parent))) {
    label_->widget->setBuddy(Widget());
    QLineEdit* edit = edit_of(*this);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { FireEvent(OnChange, this); });
    edit->installEventFilter(new KeyWatch(*this, edit));
}

void TLabeledEdit::ShowNote(const std::string& note) {
    QLineEdit* edit = edit_of(*this);
    if (!edit) return;
    QToolTip::showText(edit->mapToGlobal(QPoint(edit->width() + 2, 0)), QString::fromStdString(note), edit, QRect(),
                       4000);
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

void TLabeledEdit::SetTint(std::optional<TColor> colour, const std::string& note) {
    QLineEdit* edit = edit_of(*this);
    if (!edit) return;  // gone with its window
    if (!tint_ && colour) {
        untintedHint_ = Hint();
        label_->untinted = edit->palette();
    }
    if (colour) {
        QPalette palette = label_->untinted;
        palette.setColor(QPalette::Base, QColor(color_red(*colour), color_green(*colour), color_blue(*colour)));
        edit->setPalette(palette);
        SetHint(untintedHint_.empty() || note.empty() ? untintedHint_ + note : untintedHint_ + "\n" + note);
    } else if (tint_) {
        edit->setPalette(label_->untinted);
        SetHint(untintedHint_);
    }
    tint_ = colour;
}

QWidget* TLabeledEdit::LabelWidget() const { return label_->widget.data(); }

void TLabeledEdit::place_label() {
    QLabel* label = label_->widget.data();
    label->ensurePolished();
    label->resize(label->sizeHint());
    const QRect edit = Widget()->geometry();
    label->move(edit.left() - LabelSpacing - label->width(), edit.top() + (edit.height() - label->height()) / 2);
}
