#include "analysis/live/edit_tints.h"

#include "analysis/live/edit_changes.h"
#include "analysis/live/gain_edits.h"
#include "toolkit/controls/labeled_edit.h"

EditTints::EditTints(EditChanges& changes, const GainEdits& gains) : changes_(changes), gains_(gains) {
    subscription_ = changes_.subscribe([this] {
        for (std::size_t index : watched_) refresh(index);
    });
}

EditTints::~EditTints() {
    changes_.unsubscribe(subscription_);
    for (std::size_t index : watched_) gains_.edit(index)->SetTint(std::nullopt);
}

void EditTints::watch(std::size_t index) {
    watched_.push_back(index);
    refresh(index);
}

void EditTints::refresh(std::size_t index) {
    const GainText reading = gains_.reading(index);
    TLabeledEdit* edit = gains_.edit(index);
    if (reading.as_written()) {
        edit->SetTint(std::nullopt);
    } else {
        edit->SetTint(kTint, reading.why);
    }
}
