#pragma once
// What "Find gains" knows of a running search: the lines of
// `vantrel-trace tune --stream` read into the feasible sets found so far (kept
// small: the gains and the metric cells as floats), the best so far, the
// sets measured of how many, and at the end the best rows and whether they
// are exact or the best found; the non-dominated front of any two columns;
// the default range of a gain around an edit's value, and the edges of a
// box a best set lies on.
#include "core/batch/sweep_grid.h"
#include "core/engine/regulation.h"
#include "core/measure/metric_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The metric columns of a row, those a search reads (search_column_names):
// the header's after the gains.
inline constexpr std::size_t FOUND_METRIC_COUNT = METRIC_COUNT - METRIC_FIRST;

struct FoundSet {
    RegulationGains gains{};
    std::array<float, FOUND_METRIC_COUNT> cells{};  // as a search counts them; NaN for an empty cell
};

class FindGainsModel {
public:
    // Starts over with the search's objective column.
    void reset(std::string_view objective);
    // One line of the stream; false for a line it does not know.
    bool take_line(const std::string& line);

    const std::vector<FoundSet>& sets() const { return sets_; }
    // Sets measured so far, of at most planned() (0 until told), of the box's.
    std::uint64_t measured() const { return measured_; }
    std::uint64_t planned() const { return planned_; }
    const std::string& box_sets() const { return boxSets_; }  // as text: up to 2^64
    // What the final rows stand on, once the stream has said.
    enum class Answer { Unknown, Exact, BestFound };
    Answer answer() const { return answer_; }
    // The best feasible set so far (the final best once the stream has ended), and its row.
    std::optional<FoundSet> best() const;
    const std::string& best_row() const { return bestRow_; }
    const std::vector<std::string>& final_rows() const { return finalRows_; }

    // A column's value of a set, as a search counts it: empty when the cell is.
    static std::optional<double> value(const FoundSet& set, std::string_view column);
    // The sets no other set beats in both columns (both minimised; a set with
    // an empty cell in either is never on it), ordered by `x`.
    std::vector<std::size_t> front(std::string_view x, std::string_view y) const;

private:
    bool better(const FoundSet& a, const FoundSet& b) const;

    std::string objective_{metric_column(Metric::kIae).name};
    std::vector<FoundSet> sets_;
    std::optional<std::size_t> best_;
    std::string bestRow_;
    std::vector<std::string> finalRows_;
    std::optional<FoundSet> finalBest_;
    std::uint64_t measured_ = 0;
    std::uint64_t planned_ = 0;
    std::string boxSets_;
    Answer answer_ = Answer::Unknown;
};

// A gain's range for the search around an edit's value: a quarter of it to
// four times it ("250" gives "62:1000"), kept within 16 bits; a value of 0
// stays fixed.
std::string default_gain_range(std::int16_t value);

// A gain whose best value lies on an edge of its range, with room beyond:
// the range widened on that side by its own span (at least a step), within
// 16 bits. A range from 0 has no lower edge (a gain below 0 turns the loop
// round), a single value none at all.
struct RangeEdge {
    std::size_t gain = 0;  // kp, ki, kd, kv
    bool top = false;
    GainRange widened;
};
std::vector<RangeEdge> range_edges(const RegulationGains& best, const std::array<GainRange, 4>& ranges);
