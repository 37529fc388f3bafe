#pragma once
// Tints each watched edit whose text the run reads as another number than
// it says, with a note under its hint that tells the value used and why. An
// edit that reads as written keeps its own colours and hint; no text is
// changed.
#include "toolkit/app/colors.h"

#include <vector>

class EditChanges;
class TLabeledEdit;

class EditTints {
public:
    explicit EditTints(EditChanges& changes);
    ~EditTints();  // takes every tint away
    EditTints(const EditTints&) = delete;
    EditTints& operator=(const EditTints&) = delete;

    // Watches `edit` from now on, and tints it at once if its text calls for it.
    void watch(TLabeledEdit* edit);

    static constexpr TColor kTint = color_from_rgb(0xFF, 0xE4, 0xB5);

private:
    void refresh(TLabeledEdit* edit);
    EditChanges& changes_;
    int subscription_;
    std::vector<TLabeledEdit*> watched_;
};
