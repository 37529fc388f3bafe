#include "core/measure/limit_cycle.h"

#include <algorithm>
#include <vector>

std::optional<LimitCycle> limit_cycle_of(std::span<const std::int16_t> s) {
    if (s.size() < 2) return std::nullopt;
    const auto [low, high] = std::minmax_element(s.begin(), s.end());
    if (*low == *high) return LimitCycle{0, 1};
    // The smallest period of the whole stretch is its length less its longest
    // border (a prefix that is also a suffix), which the prefix function of
    // Knuth, Morris and Pratt gives in linear time.
    std::vector<std::size_t> border(s.size(), 0);
    for (std::size_t i = 1; i < s.size(); ++i) {
        std::size_t b = border[i - 1];
        while (b > 0 && s[i] != s[b]) b = border[b - 1];
        border[i] = s[i] == s[b] ? b + 1 : 0;
    }
    const std::size_t period = s.size() - border.back();
    if (2 * period > s.size()) return std::nullopt;
    return LimitCycle{std::int32_t{*high} - *low, static_cast<std::int64_t>(period)};
}
