#include "core/program/nc_program.h"

#include "core/engine/module.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

// The chosen program; the demo while none is.
std::shared_ptr<const NcProgram> ncChosenProgram;  // null while the demo is chosen
std::uint64_t ncChoice = 0;  // bumped by every choice

// A number word's value is kept exactly up to this; longer digit runs only
// need to be known as too large.
constexpr std::int64_t kValueCap = 1'000'000'000;

// A text cut to a length fit for a one-line message.
std::string shown(std::string_view text) {
    constexpr std::size_t kShown = 24;
    if (text.size() <= kShown) return std::string(text);
    return std::string(text.substr(0, kShown)) + "...";
}

std::string byte_text(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x21 && u < 0x7F) return std::string("'") + c + "'";
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("byte 0x") + kHex[u >> 4] + kHex[u & 0xF];
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool is_letter(char c) { return upper(c) >= 'A' && upper(c) <= 'Z'; }

// Thrown inside the parser only; nc_parse_program turns it into its result.
struct Refusal {
    NcProgramError error;
};

[[noreturn]] void refuse(std::size_t line, std::size_t column, std::string message) {
    throw Refusal{{line, column, std::move(message)}};
}

// One word: a letter and the whole number that follows it.
struct Word {
    char letter;         // upper case
    std::int64_t value;  // capped at +-kValueCap
    std::string_view text;  // the number as written, for messages
    std::size_t column;  // of the letter
};

enum class Motion { None, Position, Linear };

// The words of one line that make its blocks.
struct LineWords {
    std::optional<Word> axis[3];  // X, Y, Z
    std::optional<Word> motion;   // G0 or G1
    std::optional<Word> feed;     // F60
    std::optional<Word> end;      // M2 or M30
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    // Lines end in LF, CR LF or CR alone (as the editors of every system
    // save them); a UTF-8 byte-order mark before the first is skipped, and
    // columns count from after it.
    NcProgram run() {
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark) text_.remove_prefix(kByteOrderMark.size());
        std::size_t start = 0;
        while (start <= text_.size() && !ended_) {
            const std::size_t end = std::min(text_.find_first_of("\r\n", start), text_.size());
            ++lineNumber_;
            parse_line(text_.substr(start, end - start));
            start = end + (text_.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
        if (program_.blocks.empty()) refuse(0, 0, "the program has no blocks: give at least one G0 or G1 move");
        return std::move(program_);
    }

private:
    void parse_line(std::string_view line) {
        std::size_t first = 0;
        while (first < line.size() && is_blank(line[first])) ++first;
        if (first < line.size() && line[first] == '%') {
            for (std::size_t i = first + 1; i < line.size(); ++i) {
                if (!is_blank(line[i])) refuse(lineNumber_, i + 1, "'%' stands on a line of its own");
            }
            return;
        }

        LineWords words;
        std::size_t i = 0;
        while (i < line.size()) {
            const char c = line[i];
            if (is_blank(c)) {
                ++i;
            } else if (c == ';') {
                break;
            } else if (c == '(') {
                const std::size_t close = line.find(')', i + 1);
                if (close == std::string_view::npos) refuse(lineNumber_, i + 1, "comment '(' is not closed on its line");
                i = close + 1;
            } else if (c == ')') {
                refuse(lineNumber_, i + 1, "')' without a '(' before it");
            } else if (is_letter(c)) {
                const Word word = read_word(line, i);
                i += 1 + word.text.size();
                take_word(word, words);
            } else {
                refuse(lineNumber_, i + 1, "unexpected " + byte_text(c) + ": a block is made of words like G1 or X-20");
            }
        }

        // A feed word acts before the motion of its line.
        if (words.feed) add_blocks({NC_FEED_RESET, {0, 0, 0}}, 1, *words.feed);
        const auto& axis = words.axis;
        if (words.motion) modal_ = words.motion->value == 0 ? Motion::Position : Motion::Linear;
        if (axis[0] || axis[1] || axis[2]) {
            const Word& firstAxis = *(axis[0] ? axis[0] : axis[1] ? axis[1] : axis[2]);
            if (modal_ == Motion::None) {
                refuse(lineNumber_, firstAxis.column,
                       std::string(1, firstAxis.letter) + " needs a G0 or G1 in force before it");
            }
            const auto value = [&axis](int k) {
                return axis[k] ? static_cast<std::int16_t>(axis[k]->value) : std::int16_t{0};
            };
            const NcPoint offset{value(0), value(1), value(2)};
            const Word& at = words.motion ? *words.motion : firstAxis;
            if (modal_ == Motion::Linear) {
                add_blocks({NC_LINEAR, offset}, nc_linear_pieces(offset.X, offset.Y, offset.Z), at);
            } else {
                add_blocks({NC_POSITION, offset}, 1, at);
            }
        }
        if (words.end) ended_ = true;
    }

    Word read_word(std::string_view line, std::size_t at) const {
        const std::size_t column = at + 1;
        const char letter = upper(line[at]);
        std::size_t i = at + 1;
        const std::size_t numberStart = i;
        bool negative = false;
        if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
            negative = line[i] == '-';
            ++i;
        }
        std::int64_t value = 0;
        const std::size_t digitsStart = i;
        while (i < line.size() && is_digit(line[i])) {
            if (value < kValueCap) value = value * 10 + (line[i] - '0');
            ++i;
        }
        if (value > kValueCap) value = kValueCap;
        const std::string_view text = line.substr(numberStart, i - numberStart);
        if (i == digitsStart) {
            refuse(lineNumber_, column, std::string(1, letter) + " needs a whole number right after it");
        }
        if (i < line.size() && (line[i] == '.' || line[i] == ',')) {
            std::size_t end = i + 1;
            while (end < line.size() && is_digit(line[end])) ++end;
            refuse(lineNumber_, column,
                   std::string(1, letter) + " value " + shown(line.substr(numberStart, end - numberStart)) +
                       " is not a whole number: the interpreter moves in whole units");
        }
        return {letter, negative ? -value : value, text, column};
    }

    void take_word(const Word& word, LineWords& words) const {
        const std::string name = std::string(1, word.letter) + shown(word.text);
        switch (word.letter) {
            case 'X':
            case 'Y':
            case 'Z': {
                std::optional<Word>& slot = words.axis[word.letter - 'X'];
                if (slot) refuse(lineNumber_, word.column, std::string(1, word.letter) + " is given twice on this line");
                if (word.value < INT16_MIN || word.value > INT16_MAX) {
                    refuse(lineNumber_, word.column,
                           std::string(1, word.letter) + " value " + shown(word.text) +
                               " is beyond the 16-bit range (-32768 to 32767)");
                }
                slot = word;
                return;
            }
            case 'G':
                if (word.value == 0 || word.value == 1) {
                    if (words.motion) refuse(lineNumber_, word.column, "only one of G0 and G1 may stand on a line");
                    words.motion = word;
                    return;
                }
                if (word.value == 91) return;
                if (word.value == 90) {
                    refuse(lineNumber_, word.column,
                           "G90 (absolute distances) is not supported: every block moves relative to where the "
                           "last one ended, so programs are incremental (G91)");
                }
                refuse(lineNumber_, word.column, name + " is not supported: the words are G0, G1 and G91");
            case 'F':
                if (word.value != 60) {
                    refuse(lineNumber_, word.column,
                           name + " is not supported: the interpreter has one feed only, F60 (which resets it)");
                }
                if (words.feed) refuse(lineNumber_, word.column, "F is given twice on this line");
                words.feed = word;
                return;
            case 'M':
                if (word.value == 2 || word.value == 30) {
                    words.end = word;
                    return;
                }
                refuse(lineNumber_, word.column, name + " is not supported: M2 and M30 end the program, no other M");
            case 'N':
                return;  // line numbers mean nothing here
            default:
                refuse(lineNumber_, word.column,
                       std::string(1, word.letter) +
                           " words are not supported: a block is made of G, X, Y, Z, F, M and N words");
        }
    }

    void add_blocks(const NcProgramBlock& block, std::int32_t pieces, const Word& at) {
        pieceCount_ += static_cast<std::size_t>(pieces);
        if (pieceCount_ > NC_PROGRAM_MAX_BLOCKS) {
            refuse(lineNumber_, at.column,
                   "the program grows beyond " + std::to_string(NC_PROGRAM_MAX_BLOCKS) +
                       " blocks here (a move longer than 255 counts once per piece it is split into)");
        }
        if (block.kind != NC_FEED_RESET) follow(block.offset, at);
        program_.blocks.push_back(block);
        program_.lines.push_back(lineNumber_);
    }

    // The interpreter keeps the running position in 16 bits and would wrap
    // it without a word: a program whose path leaves that range is refused.
    void follow(const NcPoint& offset, const Word& at) {
        const std::int16_t NcPoint::*axes[3] = {&NcPoint::X, &NcPoint::Y, &NcPoint::Z};
        for (int k = 0; k < 3; ++k) {
            position_[k] += offset.*axes[k];
            if (position_[k] < INT16_MIN || position_[k] > INT16_MAX) {
                refuse(lineNumber_, at.column,
                       std::string("the path leaves the 16-bit range here: ") + "XYZ"[k] + " would reach " +
                           std::to_string(position_[k]) + " (-32768 to 32767)");
            }
        }
    }

    std::string_view text_;
    std::size_t lineNumber_ = 0;
    Motion modal_ = Motion::None;  // G0 or G1 in force
    bool ended_ = false;           // M2 or M30 seen
    std::size_t pieceCount_ = 0;   // interpreter blocks the program builds so far
    std::int32_t position_[3] = {0, 0, 0};  // X, Y, Z where the last block ends
    NcProgram program_;
};

}  // namespace

NcProgramParse nc_parse_program(std::string_view text, std::string_view fileName) {
    NcProgramParse result;
    if (text.size() > NC_PROGRAM_MAX_BYTES) {
        result.error = {0, 0, "the file is larger than 1 MiB (" + std::to_string(NC_PROGRAM_MAX_BYTES) +
                                  " bytes), the most a program may have"};
        return result;
    }
    try {
        result.program = Parser(text).run();
        result.program.name = std::string(fileName);
        result.ok = true;
    } catch (const Refusal& refusal) {
        result.error = refusal.error;
    }
    return result;
}

std::string nc_program_error_text(std::string_view fileName, const NcProgramError& error) {
    std::string text(fileName);
    if (error.line > 0) text += ":" + std::to_string(error.line) + ":" + std::to_string(error.column);
    return text + ": " + error.message;
}

namespace {

// Calls `at(end, index)` with the end point of each block, from the origin on.
template <class Visit>
void walk_path(const NcProgram& program, Visit at) {
    std::int32_t x = 0;
    std::int32_t y = 0;
    for (std::size_t i = 0; i < program.blocks.size(); ++i) {
        const NcProgramBlock& block = program.blocks[i];
        if (block.kind == NC_FEED_RESET) continue;
        x += block.offset.X;
        y += block.offset.Y;
        if (!at(x, y, i)) return;
    }
}

}  // namespace

NcArea nc_program_extent(const NcProgram& program) {
    NcArea area{0, 0, 0, 0};
    walk_path(program, [&area](std::int32_t x, std::int32_t y, std::size_t) {
        area = {std::min(area.minX, x), std::max(area.maxX, x), std::min(area.minY, y), std::max(area.maxY, y)};
        return true;
    });
    return area;
}

std::size_t nc_program_line_leaving(const NcProgram& program, const NcArea& area) {
    std::size_t line = 0;
    // A path that starts outside leaves at its first block.
    if (area.minX > 0 || area.maxX < 0 || area.minY > 0 || area.maxY < 0) return program.lines.empty() ? 0 : program.lines[0];
    walk_path(program, [&](std::int32_t x, std::int32_t y, std::size_t i) {
        if (x >= area.minX && x <= area.maxX && y >= area.minY && y <= area.maxY) return true;
        line = i < program.lines.size() ? program.lines[i] : 0;
        return false;
    });
    return line;
}

std::string nc_demo_program_text() {
    return "%\n"
           "(The built-in demo: eight linear moves, each relative to where the last one ended.)\n"
           "G91 G1 X50 Y110\n"
           "X50\n"
           "X-10 Y-25\n"
           "X30\n"
           "Y-26\n"
           "X-40\n"
           "X-30 Y-60\n"
           "X-50\n"
           "M30\n"
           "%\n";
}

void nc_load_program(NcInterpreter& nc, const NcProgram& program) { nc_load_blocks(nc, program.blocks); }

void nc_choose_program(NcProgram program) {
    ncChosenProgram = std::make_shared<const NcProgram>(std::move(program));
    ncChosenBlocks = std::shared_ptr<const NcProgramBlocks>(ncChosenProgram, &ncChosenProgram->blocks);
    ++ncChoice;
}

void nc_choose_demo() {
    ncChosenProgram.reset();
    ncChosenBlocks.reset();
    ++ncChoice;
}

std::uint64_t nc_chosen_count() { return ncChoice; }

bool nc_demo_chosen() { return ncChosenBlocks == nullptr; }

const NcProgram& nc_chosen_program() {
    static const NcProgram none;
    return ncChosenProgram ? *ncChosenProgram : none;
}

std::shared_ptr<const NcProgramBlocks> nc_chosen_blocks() { return ncChosenBlocks; }
