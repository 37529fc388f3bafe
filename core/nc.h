#pragma once
// Minimal NC interpreter: a doubly linked block program, a linear
// interpolator and a 16-bit clock. One module-level instance.
#include <cstdint>

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

// Results of nc_step.
inline constexpr std::int16_t NC_STEPPED = 0;
inline constexpr std::int16_t NC_ENDED = 1;
inline constexpr std::int16_t NC_INVALID = -1;

extern NcBlock* ncProgramHead;
extern NcBlock* ncCurrentBlock;      // also: append point while building
extern NcPoint ncSegmentStart;
extern std::uint16_t ncStep;             // progress in the segment, +4 per step
extern std::uint16_t ncSegmentLength;    // integer length of the linear move
extern std::uint16_t ncSegmentDuration;  // in the units of ncStep
extern std::uint16_t ncFeed;             // 60 is the only value ever assigned
extern std::uint16_t ncClock;            // +4 per nc_tick, wraps

// Longest linear move one block may carry: its squared length must stay
// below 65536 for the 16-bit square root.
inline constexpr std::int32_t NC_MAX_BLOCK_SQUARED_LENGTH = 65535;

// Builds the demo program (releasing any earlier one), rewinds to its start
// block and resets the clock and the step counter.
void nc_load_demo();
// Releases any earlier program and starts a new one: its start block is
// current, so blocks get appended after it; clock, step counter and feed are
// reset. The caller rewinds to ncProgramHead once the program is built.
void nc_begin_program();
// Append a position jump or a feed reset after ncCurrentBlock and make it
// current.
void nc_append_position(std::int16_t x, std::int16_t y, std::int16_t z);
void nc_append_feed_reset();
// Appends a linear move after ncCurrentBlock and makes it current. A move too
// long for one block is split into consecutive blocks whose offsets add up
// exactly to (x, y, z).
void nc_append_linear(std::int16_t x, std::int16_t y, std::int16_t z);
// Number of blocks nc_append_linear makes of the move (x, y, z).
std::int32_t nc_linear_pieces(std::int16_t x, std::int16_t y, std::int16_t z);
// Advances the clock by 4 and returns it.
std::uint16_t nc_tick();
// Executes one time step; writes the commanded point where the table says.
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
