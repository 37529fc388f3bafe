#pragma once
// What a run makes of an edit's text: the number it reads (a text that is
// no number gives 0) kept to its low 16 bits, and why that differs from
// what the text says, when it does.
#include <cstdint>
#include <string>

struct EditReading {
    std::int16_t value = 0;  // what the run uses
    bool asWritten = true;   // the text says exactly this number
    std::string why;         // when not: the value used and why, one sentence
};

EditReading read_edit_text(const std::string& text);
