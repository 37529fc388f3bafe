#include "core/batch/sweep_grid.h"

#include "core/engine/int16.h"

#include <charconv>
#include <limits>

namespace {

__extension__ typedef unsigned __int128 Count;  // 2^80 gain sets need more than 64 bits

// A whole number: optional '-', then digits only (no spaces, no '+').
bool parse_whole(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.front() == '+') return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end;
}

bool fits16(std::int64_t value) {
    return value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max();
}

Count exact_size(const SweepGrid& grid) {
    Count count = 1;
    for (const GainRange& range : grid.ranges) count *= static_cast<Count>(gain_range_size(range));
    return count;
}

}  // namespace

bool parse_gain_range(std::string_view text, GainRange& range, std::string& error) {
    std::string_view parts[3];
    std::size_t count = 0;
    for (std::size_t start = 0; count <= 3;) {
        const std::size_t colon = text.find(':', start);
        if (count < 3) parts[count] = text.substr(start, colon == std::string_view::npos ? colon : colon - start);
        ++count;
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    std::int64_t values[3] = {0, 0, 1};
    bool whole = count <= 3;
    for (std::size_t i = 0; whole && i < count; ++i) whole = parse_whole(parts[i], values[i]);
    if (!whole) {
        error = "a range is V, FROM:TO or FROM:TO:STEP in whole numbers";
        return false;
    }
    if (count == 1) values[1] = values[0];  // FROM:TO keeps STEP 1
    for (std::size_t i = 0; i < 2; ++i) {
        if (!fits16(values[i])) {
            error = std::to_string(values[i]) + " does not fit 16 bits (-32768 ... 32767)";
            return false;
        }
    }
    if (values[2] <= 0) {
        error = "STEP must be above 0";
        return false;
    }
    if (values[0] > values[1]) {
        error = "FROM " + std::to_string(values[0]) + " lies above TO " + std::to_string(values[1]);
        return false;
    }
    // A step past the whole 16-bit span gives the single value FROM.
    const std::int64_t step = values[2] > 65536 ? 65536 : values[2];
    range = {static_cast<std::int32_t>(values[0]), static_cast<std::int32_t>(values[1]), static_cast<std::int32_t>(step)};
    return true;
}

std::int64_t gain_range_size(const GainRange& range) {
    return (std::int64_t{range.to} - range.from) / range.step + 1;
}

std::uint64_t sweep_grid_size(const SweepGrid& grid) {
    const Count count = exact_size(grid);
    return count > std::numeric_limits<std::uint64_t>::max() ? std::numeric_limits<std::uint64_t>::max()
                                                             : static_cast<std::uint64_t>(count);
}

std::string sweep_grid_size_text(const SweepGrid& grid) {
    Count count = exact_size(grid);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(count % 10)));
        count /= 10;
    } while (count != 0);
    return digits;
}

RegulationGains sweep_gains_at(const SweepGrid& grid, std::uint64_t index) {
    RegulationGains gains{};
    for (std::size_t g = SWEEP_GAIN_COUNT; g-- > 0;) {
        const GainRange& range = grid.ranges[g];
        const auto size = static_cast<std::uint64_t>(gain_range_size(range));
        const auto k = static_cast<std::int64_t>(index % size);
        index /= size;
        gains.*RUN_GAIN_FIELDS[g] = wrap16(range.from + k * range.step);  // stays within 16 bits by the range's checks
    }
    return gains;
}

bool sweep_index_of(const SweepGrid& grid, const RegulationGains& gains, std::uint64_t& index) {
    index = 0;
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) {
        const GainRange& range = grid.ranges[g];
        const std::int16_t value = run_gain(gains, g);
        const std::int64_t offset = std::int64_t{value} - range.from;
        if (offset < 0 || value > range.to || offset % range.step != 0) return false;
        index = index * static_cast<std::uint64_t>(gain_range_size(range)) + static_cast<std::uint64_t>(offset / range.step);
    }
    return true;
}

bool parse_sweep_shard(std::string_view text, SweepShard& shard, std::string& error) {
    const std::size_t slash = text.find('/');
    std::int64_t k = 0;
    std::int64_t n = 0;
    if (slash == std::string_view::npos || !parse_whole(text.substr(0, slash), k) ||
        !parse_whole(text.substr(slash + 1), n) || k < 0 || n < 1) {
        error = "a shard is K/N in whole numbers with 0 <= K < N";
        return false;
    }
    if (k >= n) {
        error = "K " + std::to_string(k) + " must lie below N " + std::to_string(n);
        return false;
    }
    shard = {static_cast<std::uint64_t>(k), static_cast<std::uint64_t>(n)};
    return true;
}

std::uint64_t sweep_shard_size(std::uint64_t gridSize, const SweepShard& shard) {
    return gridSize > shard.k ? (gridSize - shard.k - 1) / shard.n + 1 : 0;
}
