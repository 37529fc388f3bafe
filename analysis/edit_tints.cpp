#include "analysis/edit_tints.h"

#include "analysis/edit_reading.h"
#include "toolkit/controls/labeled_edit.h"

#include <QLineEdit>

EditTints::EditTints(QObject* parent) : QObject(parent) { watched_.reserve(8); }

EditTints::~EditTints() { clear(); }

QColor EditTints::tint() { return QColor(0xFF, 0xE4, 0xB5); }

void EditTints::watch(TLabeledEdit* control) {
    auto* edit = static_cast<QLineEdit*>(control->Widget());
    watched_.push_back({edit, edit->palette(), edit->toolTip(), false});
    const std::size_t index = watched_.size() - 1;
    connect(edit, &QLineEdit::textChanged, this, [this, index] { refresh(watched_[index]); });
    refresh(watched_[index]);
}

void EditTints::refresh(Watched& w) {
    if (!w.edit) return;
    const EditReading reading = read_edit_text(w.edit->text().toStdString());
    if (reading.asWritten) {
        if (w.tinted) {
            w.edit->setPalette(w.palette);
            w.edit->setToolTip(w.toolTip);
            w.tinted = false;
        }
        return;
    }
    QPalette tinted = w.palette;
    tinted.setColor(QPalette::Base, tint());
    w.edit->setPalette(tinted);
    const QString why = QString::fromStdString(reading.why);
    w.edit->setToolTip(w.toolTip.isEmpty() ? why : w.toolTip + "\n" + why);
    w.tinted = true;
}

void EditTints::clear() {
    for (Watched& w : watched_) {
        if (w.edit && w.tinted) {
            w.edit->setPalette(w.palette);
            w.edit->setToolTip(w.toolTip);
        }
        w.tinted = false;
    }
}
