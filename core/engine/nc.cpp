#include "core/engine/nc.h"

#include "core/engine/int16.h"
#include "core/engine/isqrt.h"

#include <cstdlib>

NcBlock* ncProgramHead = nullptr;
NcBlock* ncCurrentBlock = nullptr;
NcPoint ncSegmentStart{0, 0, 0};
std::uint16_t ncStep = 0;
std::uint16_t ncSegmentLength = 0;
std::uint16_t ncSegmentDuration = 0;
std::uint16_t ncFeed = 0;
std::uint16_t ncClock = 0;
const std::vector<NcProgramBlock>* ncChosenBlocks = nullptr;

namespace {

constexpr std::uint16_t kStepIncrement = 4;
constexpr std::uint16_t kDefaultFeed = 60;

struct Offset {
    std::int16_t x, y, z;
};

// The eight moves of the demo contour; it ends one unit below the origin.
constexpr Offset kDemoMoves[] = {
    {50, 110, 0}, {50, 0, 0}, {-10, -25, 0}, {30, 0, 0}, {0, -26, 0}, {-40, 0, 0}, {-30, -60, 0}, {-50, 0, 0},
};

NcPoint add16(NcPoint a, NcPoint b) {
    return {wrap16(std::int32_t{a.X} + b.X), wrap16(std::int32_t{a.Y} + b.Y), wrap16(std::int32_t{a.Z} + b.Z)};
}

std::int64_t squared_length(std::int64_t x, std::int64_t y, std::int64_t z) { return x * x + y * y + z * z; }

NcBlock* new_block(NcBlockKind kind) {
    return new NcBlock{kind, {0, 0, 0}, {0, 0, 0}, nullptr, nullptr};
}

void append_block(NcBlock* block) {
    block->prev = ncCurrentBlock;
    ncCurrentBlock->next = block;
    ncCurrentBlock = block;
}

// Coordinate k of n equal-as-possible pieces of `total`; the pieces add up
// exactly to `total`.
std::int16_t piece(std::int32_t total, std::int32_t k, std::int32_t n) {
    return static_cast<std::int16_t>(total * k / n - total * (k - 1) / n);
}

}  // namespace

void nc_release_program() {
    NcBlock* block = ncProgramHead;
    while (block != nullptr) {
        NcBlock* next = block->next;
        delete block;
        block = next;
    }
    ncProgramHead = nullptr;
    ncCurrentBlock = nullptr;
}

void nc_begin_program() {
    nc_release_program();
    ncClock = 0;
    ncStep = 0;
    ncProgramHead = new_block(NC_START);
    ncCurrentBlock = ncProgramHead;
    ncFeed = kDefaultFeed;
}

void nc_load_demo() {
    nc_begin_program();
    for (const Offset& move : kDemoMoves) nc_append_linear(move.x, move.y, move.z);
    ncCurrentBlock = ncProgramHead;
}

void nc_load_blocks(const std::vector<NcProgramBlock>& blocks) {
    nc_begin_program();
    for (const NcProgramBlock& block : blocks) {
        const NcPoint& o = block.offset;
        if (block.kind == NC_LINEAR) {
            nc_append_linear(o.X, o.Y, o.Z);
        } else if (block.kind == NC_POSITION) {
            nc_append_position(o.X, o.Y, o.Z);
        } else {
            nc_append_feed_reset();
        }
    }
    ncCurrentBlock = ncProgramHead;
}

void nc_load_chosen() {
    if (ncChosenBlocks == nullptr) {
        nc_load_demo();
    } else {
        nc_load_blocks(*ncChosenBlocks);
    }
}

bool nc_append_position(std::int16_t x, std::int16_t y, std::int16_t z) {
    if (ncCurrentBlock == nullptr) return false;
    NcBlock* block = new_block(NC_POSITION);
    block->positionOffset = {x, y, z};
    append_block(block);
    return true;
}

bool nc_append_feed_reset() {
    if (ncCurrentBlock == nullptr) return false;
    append_block(new_block(NC_FEED_RESET));
    return true;
}

std::int32_t nc_linear_pieces(std::int16_t x, std::int16_t y, std::int16_t z) {
    // The segment length comes from a 16-bit square root, so one block may
    // only carry a move shorter than 256. A longer move becomes the fewest
    // consecutive blocks that each stay below that, with exact end points.
    std::int32_t pieces = 1;
    for (;; ++pieces) {
        const auto widest = [pieces](std::int32_t c) { return (std::abs(c) + pieces - 1) / pieces; };
        if (squared_length(widest(x), widest(y), widest(z)) <= NC_MAX_BLOCK_SQUARED_LENGTH) return pieces;
    }
}

bool nc_append_linear(std::int16_t x, std::int16_t y, std::int16_t z) {
    if (ncCurrentBlock == nullptr) return false;
    const std::int32_t pieces = nc_linear_pieces(x, y, z);
    for (std::int32_t k = 1; k <= pieces; ++k) {
        NcBlock* block = new_block(NC_LINEAR);
        block->offset = {piece(x, k, pieces), piece(y, k, pieces), piece(z, k, pieces)};
        append_block(block);
    }
    return true;
}

std::uint16_t nc_tick() {
    ncClock = wrapU16(ncClock + kStepIncrement);
    return ncClock;
}

void nc_begin_segment(NcPoint start) {
    ncSegmentStart = start;
    ncStep = 0;
    ncCurrentBlock = ncCurrentBlock->next;
    if (ncCurrentBlock == nullptr || ncCurrentBlock->kind != NC_LINEAR) return;
    const NcPoint& offset = ncCurrentBlock->offset;
    ncSegmentLength = isqrt16(wrapU16(squared_length(offset.X, offset.Y, offset.Z)));
    ncSegmentDuration = wrapU16(std::int32_t{ncSegmentLength} * 225 / (2 * std::int32_t{ncFeed}));
}

void nc_start_program() { nc_begin_segment({0, 0, 0}); }

void nc_interpolate_linear(NcPoint& point) {
    const NcPoint& offset = ncCurrentBlock->offset;
    if (ncStep < ncSegmentDuration) {
        // Each quotient truncates toward zero; the rounding never carries over
        // to the next block, whose start is the exact end point.
        const auto along = [](std::int16_t start, std::int16_t delta) {
            const std::int32_t q = std::int32_t{ncStep} * delta / std::int32_t{ncSegmentDuration};
            return wrap16(start + q);
        };
        point = {along(ncSegmentStart.X, offset.X), along(ncSegmentStart.Y, offset.Y),
                 along(ncSegmentStart.Z, offset.Z)};
        return;
    }
    point = add16(ncSegmentStart, offset);
    nc_begin_segment(point);
}

void nc_position_block(NcPoint& point) {
    point = add16(ncSegmentStart, ncCurrentBlock->positionOffset);
    nc_begin_segment(point);
}

std::int16_t nc_step(NcPoint& point) {
    if (ncCurrentBlock == nullptr) return NC_ENDED;
    switch (ncCurrentBlock->kind) {
        case NC_START:
            nc_start_program();
            break;
        case NC_LINEAR:
            nc_interpolate_linear(point);
            break;
        case NC_POSITION:
            nc_position_block(point);
            break;
        case NC_FEED_RESET:
            // A feed block has no motion of its own: execution moves on to the
            // next block from the same segment start, so a linear block after
            // it gets its length and duration like any other.
            ncFeed = kDefaultFeed;
            nc_begin_segment(ncSegmentStart);
            break;
        default:
            return NC_INVALID;
    }
    ncStep = wrapU16(ncStep + kStepIncrement);
    return NC_STEPPED;
}
