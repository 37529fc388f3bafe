#include "core/engine/nc.h"

#include "core/engine/int16.h"
#include "core/engine/isqrt.h"

#include <cstdlib>
#include <utility>

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

void append_block(NcInterpreter& nc, NcBlock* block) {
    block->prev = nc.currentBlock;
    nc.currentBlock->next = block;
    nc.currentBlock = block;
}

// Coordinate k of n equal-as-possible pieces of `total`; the pieces add up
// exactly to `total`.
std::int16_t piece(std::int32_t total, std::int32_t k, std::int32_t n) {
    return static_cast<std::int16_t>(total * k / n - total * (k - 1) / n);
}

}  // namespace

NcInterpreter::NcInterpreter(NcInterpreter&& other) noexcept
    : programHead(std::exchange(other.programHead, nullptr)),
      currentBlock(std::exchange(other.currentBlock, nullptr)),
      segmentStart(other.segmentStart),
      step(other.step),
      segmentLength(other.segmentLength),
      segmentDuration(other.segmentDuration),
      feed(other.feed),
      clock(other.clock) {}

NcInterpreter& NcInterpreter::operator=(NcInterpreter&& other) noexcept {
    if (this != &other) {
        nc_release_program(*this);
        programHead = std::exchange(other.programHead, nullptr);
        currentBlock = std::exchange(other.currentBlock, nullptr);
        segmentStart = other.segmentStart;
        step = other.step;
        segmentLength = other.segmentLength;
        segmentDuration = other.segmentDuration;
        feed = other.feed;
        clock = other.clock;
    }
    return *this;
}

NcInterpreter::~NcInterpreter() { nc_release_program(*this); }

void nc_release_program(NcInterpreter& nc) {
    NcBlock* block = nc.programHead;
    while (block != nullptr) {
        NcBlock* next = block->next;
        delete block;
        block = next;
    }
    nc.programHead = nullptr;
    nc.currentBlock = nullptr;
}

void nc_begin_program(NcInterpreter& nc) {
    nc_release_program(nc);
    nc.clock = 0;
    nc.step = 0;
    nc.programHead = new_block(NC_START);
    nc.currentBlock = nc.programHead;
    nc.feed = kDefaultFeed;
}

void nc_load_demo(NcInterpreter& nc) {
    nc_begin_program(nc);
    for (const Offset& move : kDemoMoves) nc_append_linear(nc, move.x, move.y, move.z);
    nc.currentBlock = nc.programHead;
}

void nc_load_blocks(NcInterpreter& nc, const NcProgramBlocks& blocks) {
    nc_begin_program(nc);
    for (const NcProgramBlock& block : blocks) {
        const NcPoint& o = block.offset;
        if (block.kind == NC_LINEAR) {
            nc_append_linear(nc, o.X, o.Y, o.Z);
        } else if (block.kind == NC_POSITION) {
            nc_append_position(nc, o.X, o.Y, o.Z);
        } else {
            nc_append_feed_reset(nc);
        }
    }
    nc.currentBlock = nc.programHead;
}

void nc_load(NcInterpreter& nc, const NcProgramBlocks* blocks) {
    if (blocks == nullptr) {
        nc_load_demo(nc);
    } else {
        nc_load_blocks(nc, *blocks);
    }
}

bool nc_append_position(NcInterpreter& nc, std::int16_t x, std::int16_t y, std::int16_t z) {
    if (nc.currentBlock == nullptr) return false;
    NcBlock* block = new_block(NC_POSITION);
    block->positionOffset = {x, y, z};
    append_block(nc, block);
    return true;
}

bool nc_append_feed_reset(NcInterpreter& nc) {
    if (nc.currentBlock == nullptr) return false;
    append_block(nc, new_block(NC_FEED_RESET));
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

bool nc_append_linear(NcInterpreter& nc, std::int16_t x, std::int16_t y, std::int16_t z) {
    if (nc.currentBlock == nullptr) return false;
    const std::int32_t pieces = nc_linear_pieces(x, y, z);
    for (std::int32_t k = 1; k <= pieces; ++k) {
        NcBlock* block = new_block(NC_LINEAR);
        block->offset = {piece(x, k, pieces), piece(y, k, pieces), piece(z, k, pieces)};
        append_block(nc, block);
    }
    return true;
}

std::uint16_t nc_tick(NcInterpreter& nc) {
    nc.clock = wrapU16(nc.clock + kStepIncrement);
    return nc.clock;
}

void nc_begin_segment(NcInterpreter& nc, NcPoint start) {
    nc.segmentStart = start;
    nc.step = 0;
    nc.currentBlock = nc.currentBlock->next;
    if (nc.currentBlock == nullptr || nc.currentBlock->kind != NC_LINEAR) return;
    const NcPoint& offset = nc.currentBlock->offset;
    nc.segmentLength = isqrt16(wrapU16(squared_length(offset.X, offset.Y, offset.Z)));
    nc.segmentDuration = wrapU16(std::int32_t{nc.segmentLength} * 225 / (2 * std::int32_t{nc.feed}));
}

void nc_start_program(NcInterpreter& nc) { nc_begin_segment(nc, {0, 0, 0}); }

void nc_interpolate_linear(NcInterpreter& nc, NcPoint& point) {
    const NcPoint& offset = nc.currentBlock->offset;
    if (nc.step < nc.segmentDuration) {
        // Each quotient truncates toward zero; the rounding never carries over
        // to the next block, whose start is the exact end point.
        const auto along = [&nc](std::int16_t start, std::int16_t delta) {
            const std::int32_t q = std::int32_t{nc.step} * delta / std::int32_t{nc.segmentDuration};
            return wrap16(start + q);
        };
        point = {along(nc.segmentStart.X, offset.X), along(nc.segmentStart.Y, offset.Y),
                 along(nc.segmentStart.Z, offset.Z)};
        return;
    }
    point = add16(nc.segmentStart, offset);
    nc_begin_segment(nc, point);
}

void nc_position_block(NcInterpreter& nc, NcPoint& point) {
    point = add16(nc.segmentStart, nc.currentBlock->positionOffset);
    nc_begin_segment(nc, point);
}

std::int16_t nc_step(NcInterpreter& nc, NcPoint& point) {
    if (nc.currentBlock == nullptr) return NC_ENDED;
    switch (nc.currentBlock->kind) {
        case NC_START:
            nc_start_program(nc);
            break;
        case NC_LINEAR:
            nc_interpolate_linear(nc, point);
            break;
        case NC_POSITION:
            nc_position_block(nc, point);
            break;
        case NC_FEED_RESET:
            // A feed block has no motion of its own: execution moves on to the
            // next block from the same segment start, so a linear block after
            // it gets its length and duration like any other.
            nc.feed = kDefaultFeed;
            nc_begin_segment(nc, nc.segmentStart);
            break;
        default:
            return NC_INVALID;
    }
    nc.step = wrapU16(nc.step + kStepIncrement);
    return NC_STEPPED;
}
