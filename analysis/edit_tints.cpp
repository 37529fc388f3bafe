#include "analysis/edit_tints.h"

#include "analysis/edit_changes.h"
#include "analysis/edit_reading.h"
#include "toolkit/controls/labeled_edit.h"

EditTints::EditTints(EditChanges& changes) : changes_(changes) {
    subscription_ = changes_.subscribe([this] {
        for (TLabeledEdit* edit : watched_) refresh(edit);
    });
}

EditTints::~EditTints() {
    changes_.unsubscribe(subscription_);
    for (TLabeledEdit* edit : watched_) edit->SetTint(std::nullopt);
}

void EditTints::watch(TLabeledEdit* edit) {
    watched_.push_back(edit);
    refresh(edit);
}

void EditTints::refresh(TLabeledEdit* edit) {
    const EditReading reading = read_edit_text(edit->Text());
    if (reading.asWritten) {
        edit->SetTint(std::nullopt);
    } else {
        edit->SetTint(kTint, reading.why);
    }
}
