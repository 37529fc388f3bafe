#pragma once
// Minimal NC interpreter: a doubly linked block program, a linear
// interpolator and a 16-bit clock, in a record its functions work on.
//
// Units: lengths and points are in position units (the units of
// actualPosition and of the test drawing). Time is in clock units: the clock
// and the step counter both advance 4 per call, and a regulation run charts
// one clock unit as 1 ms, so a pass (one nc_step, one nc_tick) is 4 ms of
// chart time.
#include <cstdint>
#include <vector>

struct NcPoint {
    std::int16_t X;
    std::int16_t Y;
    std::int16_t Z;
    friend bool operator==(const NcPoint&, const NcPoint&) = default;
};

using NcBlockKind = std::int32_t;
inline constexpr NcBlockKind NC_START = 0;
inline constexpr NcBlockKind NC_LINEAR = 1;
inline constexpr NcBlockKind NC_POSITION = 2;
inline constexpr NcBlockKind NC_FEED_RESET = 8;

struct NcBlock {
    NcBlockKind kind;
    NcPoint offset;          // linear move, relative to the segment start
    NcPoint positionOffset;  // position jump, relative to the segment start
    NcBlock* prev;
    NcBlock* next;
};

// One block as a program file writes it: a linear move is split into pieces
// only when the program is loaded.
struct NcProgramBlock {
    NcBlockKind kind;  // NC_LINEAR, NC_POSITION or NC_FEED_RESET
    NcPoint offset;    // the move or jump; unused by a feed reset
    friend bool operator==(const NcProgramBlock&, const NcProgramBlock&) = default;
};

// Results of nc_step.
inline constexpr std::int16_t NC_STEPPED = 0;
inline constexpr std::int16_t NC_ENDED = 1;
inline constexpr std::int16_t NC_INVALID = -1;

// The interpreter's state: the program it owns and steps, and its clock.
// Each block is allocated on its own while a program is built and released
// with the next program or with the interpreter; no caller holds a block.
// An interpreter moves but is not copied.
struct NcInterpreter {
    NcBlock* programHead = nullptr;
    NcBlock* currentBlock = nullptr;      // also: append point while building; null at the end
    NcPoint segmentStart{0, 0, 0};        // position units: where the current block's move starts
    std::uint16_t step = 0;               // clock units into the segment, +4 per step
    std::uint16_t segmentLength = 0;      // position units: the linear move's length, rounded down
    std::uint16_t segmentDuration = 0;    // clock units the linear move takes: length * 225 / (2 * feed)
    // Path speed: at feed F a move takes 225 / (2 F) clock units per position
    // unit, so the only value ever assigned, 60, moves 8 position units in 15
    // clock units (about 2.1 per step).
    std::uint16_t feed = 0;
    std::uint16_t clock = 0;              // clock units, +4 per nc_tick, wraps

    constexpr NcInterpreter() = default;
    NcInterpreter(NcInterpreter&& other) noexcept;
    NcInterpreter& operator=(NcInterpreter&& other) noexcept;
    NcInterpreter(const NcInterpreter&) = delete;
    NcInterpreter& operator=(const NcInterpreter&) = delete;
    ~NcInterpreter();
};

// A program's blocks as the program files give them (null: the demo).
using NcProgramBlocks = std::vector<NcProgramBlock>;

// Longest linear move one block may carry: its squared length must stay
// below 65536 for the 16-bit square root.
inline constexpr std::int32_t NC_MAX_BLOCK_SQUARED_LENGTH = 65535;

// Builds the demo program (releasing any earlier one), rewinds to its start
// block and resets the clock and the step counter.
void nc_load_demo(NcInterpreter& nc);
// Builds `blocks` the same way: behind a start block, rewound, clock and step
// counter reset.
void nc_load_blocks(NcInterpreter& nc, const NcProgramBlocks& blocks);
// nc_load_blocks of `blocks`, or nc_load_demo when there are none (null).
void nc_load(NcInterpreter& nc, const NcProgramBlocks* blocks);
// Releases any earlier program and starts a new one: its start block is
// current, so blocks get appended after it; clock, step counter and feed are
// reset. The caller rewinds to programHead once the program is built.
void nc_begin_program(NcInterpreter& nc);
// Append a position jump or a feed reset after currentBlock and make it
// current.
bool nc_append_position(NcInterpreter& nc, std::int16_t x, std::int16_t y, std::int16_t z);
bool nc_append_feed_reset(NcInterpreter& nc);
// Appends a linear move after currentBlock and makes it current. A move too
// long for one block is split into consecutive blocks whose offsets add up
// exactly to (x, y, z). Without an append point (no program loaded, or one
// run to its end) there is nothing to append to: it returns false and
// changes nothing; so do the other two appends.
bool nc_append_linear(NcInterpreter& nc, std::int16_t x, std::int16_t y, std::int16_t z);
// Number of blocks nc_append_linear makes of the move (x, y, z).
std::int32_t nc_linear_pieces(std::int16_t x, std::int16_t y, std::int16_t z);
// Advances the clock by 4 and returns it.
std::uint16_t nc_tick(NcInterpreter& nc);
// Executes one time step (4 clock units). Writes the commanded point when
// the step reaches one: every step of a linear move, the end of a move, a
// position jump; the start block and a feed block leave it as it was.
// NC_STEPPED, NC_ENDED (no current block) or NC_INVALID (invalid kind).
std::int16_t nc_step(NcInterpreter& nc, NcPoint& point);

// Releases the loaded program and returns the interpreter to its start-up
// state.
void nc_release_program(NcInterpreter& nc);

// Internal operations, declared for tests.
void nc_begin_segment(NcInterpreter& nc, NcPoint start);
void nc_start_program(NcInterpreter& nc);
void nc_interpolate_linear(NcInterpreter& nc, NcPoint& point);
void nc_position_block(NcInterpreter& nc, NcPoint& point);
