#pragma once
// Tints each watched edit whose text the run reads as another number than
// it says, with a note under its hint that tells the value used and why. An
// edit that reads as written keeps its own colours and hint; no text is
// changed.
#include "toolkit/app/colors.h"

#include <cstddef>
#include <vector>

class EditChanges;
class GainEdits;
class TLabeledEdit;

class EditTints {
public:
    EditTints(EditChanges& changes, const GainEdits& gains);
    ~EditTints();  // takes every tint away
    EditTints(const EditTints&) = delete;
    EditTints& operator=(const EditTints&) = delete;

    // Watches edit `index` of the gain edits (GAIN_SET_KEYS order) from now
    // on, and tints it at once if its text calls for it.
    void watch(std::size_t index);

    static constexpr TColor kTint = color_from_rgb(0xFF, 0xE4, 0xB5);

private:
    void refresh(std::size_t index);
    EditChanges& changes_;
    const GainEdits& gains_;
    int subscription_;
    std::vector<std::size_t> watched_;
};
