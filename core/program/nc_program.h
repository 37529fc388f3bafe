#pragma once
// NC program files: a small G-code subset in incremental form, read into the
// blocks the interpreter runs, and the one program the bench runs (the demo
// unless the user chose a file).
//
// The format, one block per line:
//   G1 X.. Y.. Z..   linear move (NC_LINEAR), relative to where the last ended
//   G0 X.. Y.. Z..   position jump (NC_POSITION), relative likewise
//   F60              feed reset (NC_FEED_RESET); 60 is the only feed there is
//   G91              incremental distances: accepted, the only mode (G90 is not)
//   M2, M30          end of program: nothing after that line is read
//   N..              line numbers, ignored
// Words in any order; a left-out axis is 0; whole numbers within the 16-bit
// range; G0/G1 stays in force on lines that give only axis words. Comments in
// ( ) and after ';'; blank lines and '%' lines; letters in either case; LF,
// CR LF or CR line ends and a UTF-8 byte-order mark. The
// running position (the sum of the moves from the origin) must stay within
// the 16-bit range as well: the interpreter would wrap it.
#include "core/engine/nc.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Largest program file, in bytes, and most blocks a program may build (a
// linear move too long for one block counts once per piece).
inline constexpr std::size_t NC_PROGRAM_MAX_BYTES = 1024 * 1024;
inline constexpr std::size_t NC_PROGRAM_MAX_BLOCKS = 100000;

struct NcProgram {
    std::string name;  // shown to the user: the file's name
    std::string path;  // the file as the user gave it, for another process to read it again
    std::vector<NcProgramBlock> blocks;
    std::vector<std::size_t> lines;  // the file line of each block, counted from 1
};

// The first error of a file. Line and column count from 1 (the column in
// bytes); both are 0 for errors of the whole file (its size).
struct NcProgramError {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string message;  // "X value 40000 is beyond the 16-bit range"
};

struct NcProgramParse {
    bool ok = false;
    NcProgram program;     // empty unless ok
    NcProgramError error;  // set unless ok
};

// Reads a program from the file's text; `fileName` names it in messages and
// becomes the program's name. Any error refuses the whole text.
NcProgramParse nc_parse_program(std::string_view text, std::string_view fileName);
// "FILE:LINE:COLUMN: message", or "FILE: message" for the whole file.
std::string nc_program_error_text(std::string_view fileName, const NcProgramError& error);

// A rectangle of the NC plane in position units, both edges included.
struct NcArea {
    std::int32_t minX, maxX, minY, maxY;
    friend bool operator==(const NcArea&, const NcArea&) = default;
};
// The smallest area that holds the program's whole path, the origin included
// (every point of a linear move lies between the move's two ends).
NcArea nc_program_extent(const NcProgram& program);
// The file line of the first block whose end point lies outside `area`, or 0
// when the whole path stays inside it.
std::size_t nc_program_line_leaving(const NcProgram& program, const NcArea& area);

// The built-in demo program written in the file format.
std::string nc_demo_program_text();

// Builds `program` behind a start block of `nc` (releasing any earlier
// program), rewinds to the start block and resets the clock and the step
// counter, as nc_load_demo does for the demo: nc_load_blocks of its blocks.
void nc_load_program(NcInterpreter& nc, const NcProgram& program);

// The program the regulation run and the NC path plot load: the demo until a
// file is chosen. One instance, chosen on the window's thread (or once by the
// command line); the engine's module instance loads its blocks
// (nc_load_chosen). A choice never changes a program already chosen: an
// engine of its own keeps the blocks it was given (nc_chosen_blocks) however
// often the choice changes meanwhile.
void nc_choose_program(NcProgram program);
void nc_choose_demo();
bool nc_demo_chosen();
const NcProgram& nc_chosen_program();  // meaningful unless the demo is chosen
// The chosen program's blocks, shared read-only; null while the demo is.
std::shared_ptr<const NcProgramBlocks> nc_chosen_blocks();
// How many times a program was chosen so far: whoever keeps something made
// from the chosen program knows by it when to make it again.
std::uint64_t nc_chosen_count();
