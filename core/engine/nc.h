#pragma once
// Minimal NC interpreter: a doubly linked block program, a linear
// interpolator and a 16-bit clock. One module-level instance.
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

extern NcBlock* ncProgramHead;
extern NcBlock* ncCurrentBlock;      // also: append point while building; null at the end
extern NcPoint ncSegmentStart;       // position units: where the current block's move starts
extern std::uint16_t ncStep;             // clock units into the segment, +4 per step
extern std::uint16_t ncSegmentLength;    // position units: the linear move's length, rounded down
extern std::uint16_t ncSegmentDuration;  // clock units the linear move takes: length * 225 / (2 * feed)
// Path speed: at feed F a move takes 225 / (2 F) clock units per position
// unit, so the only value ever assigned, 60, moves 8 position units in 15
// clock units (about 2.1 per step).
extern std::uint16_t ncFeed;
extern std::uint16_t ncClock;            // clock units, +4 per nc_tick, wraps

// Longest linear move one block may carry: its squared length must stay
// below 65536 for the 16-bit square root.
inline constexpr std::int32_t NC_MAX_BLOCK_SQUARED_LENGTH = 65535;

// Builds the demo program (releasing any earlier one), rewinds to its start
// block and resets the clock and the step counter.
void nc_load_demo();
// Builds `blocks` the same way: behind a start block, rewound, clock and step
// counter reset.
void nc_load_blocks(const std::vector<NcProgramBlock>& blocks);
// The blocks of the program the regulation run and the NC path plot load,
// null while the demo is: the program files' choice keeps them and sets this
// (nc_choose_program, nc_choose_demo).
extern const std::vector<NcProgramBlock>* ncChosenBlocks;
// Loads the chosen program: nc_load_demo or nc_load_blocks.
void nc_load_chosen();
// Releases any earlier program and starts a new one: its start block is
// current, so blocks get appended after it; clock, step counter and feed are
// reset. The caller rewinds to ncProgramHead once the program is built.
void nc_begin_program();
// Append a position jump or a feed reset after ncCurrentBlock and make it
// current.
bool nc_append_position(std::int16_t x, std::int16_t y, std::int16_t z);
bool nc_append_feed_reset();
// Appends a linear move after ncCurrentBlock and makes it current. A move too
// long for one block is split into consecutive blocks whose offsets add up
// exactly to (x, y, z). Without an append point (no program loaded, or one
// run to its end) there is nothing to append to: it returns false and
// changes nothing; so do the other two appends.
bool nc_append_linear(std::int16_t x, std::int16_t y, std::int16_t z);
// Number of blocks nc_append_linear makes of the move (x, y, z).
std::int32_t nc_linear_pieces(std::int16_t x, std::int16_t y, std::int16_t z);
// Advances the clock by 4 and returns it.
std::uint16_t nc_tick();
// Executes one time step (4 clock units). Writes the commanded point when
// the step reaches one: every step of a linear move, the end of a move, a
// position jump; the start block and a feed block leave it as it was.
// NC_STEPPED, NC_ENDED (no current block) or NC_INVALID (invalid kind).
std::int16_t nc_step(NcPoint& point);

// Releases the loaded program and returns the interpreter to its start-up
// state (tests use it to start from nothing).
void nc_release_program();

// Internal operations, declared for tests.
void nc_begin_segment(NcPoint start);
void nc_start_program();
void nc_interpolate_linear(NcPoint& point);
void nc_position_block(NcPoint& point);
