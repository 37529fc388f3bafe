#include "analysis/live/edit_changes.h"

#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"

#include <algorithm>

EditChanges::EditChanges(const AnalysisHost& host) {
    for (TLabeledEdit* edit : {host.kp, host.ki, host.kd, host.kv, host.w, host.pos}) {
        if (!edit) continue;
        edits_.push_back(edit);
        edit->OnChange = [this](TObject*) { changed(); };
    }
    if (host.speedMode) {
        mode_ = host.speedMode;
        modeClick_ = mode_->OnClick;
        mode_->OnClick = [this](TObject* sender) {
            if (modeClick_) modeClick_(sender);
            changed();
        };
    }
}

EditChanges::~EditChanges() {
    for (TLabeledEdit* edit : edits_) edit->OnChange = nullptr;
    if (mode_) mode_->OnClick = modeClick_;
}

int EditChanges::subscribe(std::function<void()> listener) {
    listeners_.push_back({nextId_, std::move(listener)});
    return nextId_++;
}

void EditChanges::unsubscribe(int id) {
    std::erase_if(listeners_, [id](const Entry& e) { return e.id == id; });
}

void EditChanges::changed() {
    // A listener may subscribe or unsubscribe: run over a copy.
    const std::vector<Entry> now = listeners_;
    for (const Entry& e : now) e.listener();
}
