#include "analysis/live/edit_tints.h"

#include "analysis/live/edit_changes.h"
#include "core/measure/gain_set.h"
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
    const GainText reading = read_gain_text(edit->Text());
    if (reading.as_written()) {
        edit->SetTint(std::nullopt);
    } else {
        edit->SetTint(kTint, reading.why);
    }
}
