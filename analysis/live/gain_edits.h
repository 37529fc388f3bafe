#pragma once
// The window's gain edits and mode box as one thing: read as a run reads
// them, filled as a whole with a word on where the values came from, and
// taken back. Every part of the program that reads or fills the edits does
// it here.
//
// Reading works from the start. The rest comes with the panel (attach):
// - a history of the sets the panel put into the edits, each with the texts
//   the edits held before it and where it came from; undo() restores the
//   latest of those, as does Ctrl+Z in an edit that has no typing of its own
//   to take back. The history and the edits' texts survive a restart.
// - a decimal typed into Kp, Ki, Kd or Kv: the edits take digits only, so
//   "2.5" would read 25. The point is remembered instead and, once the edit
//   is left (focus or Return), the text becomes the hundredths meant ("250")
//   with a note saying so. While the point is pending the edit is not done:
//   pending_decimal() says so, and whoever follows the edits waits for it.
#include "analysis/live/analysis_host.h"
#include "core/engine/regulation.h"
#include "core/measure/gain_set.h"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class EditChanges;
class QObject;

// What the edits show: the six texts in GAIN_SET_KEYS order (kp ... pos)
// and the mode box.
struct GainTexts {
    std::array<std::string, 6> texts;
    bool speedMode = false;
    friend bool operator==(const GainTexts&, const GainTexts&) = default;
};

// "2.5" in hundredths ("250"): the digits before the point and after it, as
// typed. Rounded to the hundredth; none when it is no such number or lies
// beyond the 16-bit range.
std::optional<std::int16_t> hundredths_of(const std::string& whole, const std::string& fraction);

class GainEdits {
public:
    explicit GainEdits(const AnalysisHost& host);
    ~GainEdits();
    GainEdits(const GainEdits&) = delete;
    GainEdits& operator=(const GainEdits&) = delete;

    // The five gains as a run reads them (not a number is 0, then the low
    // 16 bits), w as its edit says whatever the mode.
    RegulationGains run_gains() const;
    // All six values and the mode, read the same way.
    GainSet set() const;
    GainTexts texts() const;
    bool speed_mode() const;
    // Edit `index` (GAIN_SET_KEYS order: kp ... pos), and its text as a run reads it.
    TLabeledEdit* edit(std::size_t index) const { return edits_[index]; }
    GainText reading(std::size_t index) const;

    // Fills the edits; the first `count` of the run gains, or a whole set
    // with pos and the mode, or texts as they were. The texts before go on
    // the history under `source` ("map cell"), unless nothing changes.
    void apply(const RegulationGains& gains, std::size_t count, const std::string& source);
    void apply(const GainSet& set, const std::string& source);

    struct Applied {
        GainTexts before;
        std::string source;
    };
    // Oldest first, at most kHistory.
    const std::vector<Applied>& history() const { return history_; }
    static constexpr std::size_t kHistory = 12;
    // Back to the texts before the latest entry, which goes; false when
    // there is none. undo_to(i) goes back to entry i, dropping it and those after.
    bool undo();
    bool undo_to(std::size_t index);
    // Told after the history changed.
    std::function<void()> onHistoryChange;

    // From the panel's making on: the history, Ctrl+Z, the decimal point,
    // and keeping the texts for a restart.
    void attach(EditChanges& changes);
    // The edits as they were left, once attached (at a start that restores the panel).
    void restore_texts();
    // An edit holds a decimal point not yet read (see above).
    bool pending_decimal() const;

private:
    class Watch;
    void fill(const GainTexts& texts);
    void push(const GainTexts& before, const std::string& source);
    void keep_history() const;
    void load_history();
    void keep_texts() const;
    void decimal_typed(std::size_t edit);
    void edit_left(std::size_t edit);
    void follow_pending(std::size_t edit);

    AnalysisHost host_;
    std::array<TLabeledEdit*, 6> edits_{};
    std::vector<Applied> history_;
    bool attached_ = false;
    bool filling_ = false;
    int subscription_ = 0;
    EditChanges* changes_ = nullptr;
    // A decimal point typed into edit i: where, and the text before it.
    struct Pending {
        std::size_t digitsBefore = 0;
        std::string whole;
    };
    std::array<std::optional<Pending>, 4> pending_{};
    std::array<std::function<void(const std::string&)>, 4> windowRefused_{};  // given back when the panel goes
    std::unique_ptr<Watch> watch_;
};

// Short text of a set, as the history shows it: "Kp 250 Ki 60 Kd 0 Kv 30 w 80".
std::string gain_texts_summary(const GainTexts& texts);
