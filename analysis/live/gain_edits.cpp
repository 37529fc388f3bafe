#include "analysis/live/gain_edits.h"

#include "analysis/live/edit_changes.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"
#include "toolkit/sys/settings.h"

#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

constexpr const char* kNames[6] = {"Kp", "Ki", "Kd", "Kv", "w", "Pos"};
constexpr std::size_t kHundredths = 4;  // Kp, Ki, Kd and Kv are written in hundredths

std::string key_of(std::size_t edit) { return std::string(GAIN_SET_KEYS[edit]); }

bool digits_only(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

QLineEdit* line_of(const TLabeledEdit* edit) { return static_cast<QLineEdit*>(edit->Widget()); }

// "2.5" as the user wrote it, for the notes.
std::string decimal_text(const std::string& whole, const std::string& fraction) {
    return (whole.empty() || whole == "-" ? whole + "0" : whole) + "." + fraction;
}

}  // namespace

std::optional<std::int16_t> hundredths_of(const std::string& whole, const std::string& fraction) {
    const bool negative = !whole.empty() && whole.front() == '-';
    const std::string digits = negative ? whole.substr(1) : whole;
    if (!digits_only(digits) || !digits_only(fraction) || (digits.empty() && fraction.empty())) return std::nullopt;
    if (digits.find_first_not_of('0') != std::string::npos && digits.size() - digits.find_first_not_of('0') > 5) {
        return std::nullopt;  // beyond any 16-bit gain already
    }
    std::int64_t value = 0;
    for (const char c : digits) value = value * 10 + (c - '0');
    value *= 100;
    const auto digit = [&](std::size_t i) { return i < fraction.size() ? fraction[i] - '0' : 0; };
    value += digit(0) * 10 + digit(1) + (digit(2) >= 5 ? 1 : 0);  // to the nearest hundredth, halves up
    if (negative) value = -value;
    if (value < GAIN_VALUE_MIN || value > GAIN_VALUE_MAX) return std::nullopt;
    return static_cast<std::int16_t>(value);
}

std::string gain_texts_summary(const GainTexts& t) {
    std::string out;
    for (std::size_t i = 0; i < 5; ++i) out += std::string(i ? " " : "") + kNames[i] + " " + t.texts[i];
    return out + (t.speedMode ? ", speed mode" : ", position mode");
}

// Ctrl+Z in an edit with nothing typed to take back, and the edits being left.
class GainEdits::Watch : public QObject {
public:
    explicit Watch(GainEdits& edits) : edits_(edits) {
        for (std::size_t i = 0; i < edits_.edits_.size(); ++i) {
            QLineEdit* line = line_of(edits_.edits_[i]);
            line->installEventFilter(this);
            if (i < kHundredths) connect(line, &QLineEdit::editingFinished, this, [this, i] { edits_.edit_left(i); });
        }
    }
    ~Watch() override {
        for (TLabeledEdit* edit : edits_.edits_) {
            if (QLineEdit* line = line_of(edit)) line->removeEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo)) {
            return false;
        }
        const auto* line = static_cast<QLineEdit*>(watched);
        if (line->isUndoAvailable()) return false;  // the edit's own typing first
        return edits_.undo();
    }

private:
    GainEdits& edits_;
};

GainEdits::GainEdits(const AnalysisHost& host)
    : host_(host), edits_{host.kp, host.ki, host.kd, host.kv, host.w, host.pos} {}

GainEdits::~GainEdits() {
    keep_texts();
    watch_.reset();
    if (changes_) changes_->unsubscribe(subscription_);
    if (!attached_) return;
    for (std::size_t i = 0; i < kHundredths; ++i) edits_[i]->OnRefused = std::move(windowRefused_[i]);
}

RegulationGains GainEdits::run_gains() const {
    RegulationGains gains{};
    for (std::size_t i = 0; i < RUN_GAIN_COUNT; ++i) gains.*RUN_GAIN_FIELDS[i] = read_gain_text(edits_[i]->Text()).value;
    return gains;
}

GainSet GainEdits::set() const {
    GainSet set;
    for (std::size_t i = 0; i < edits_.size(); ++i) set.*GAIN_SET_FIELDS[i] = read_gain_text(edits_[i]->Text()).value;
    set.speedMode = speed_mode();
    return set;
}

GainTexts GainEdits::texts() const {
    GainTexts t;
    for (std::size_t i = 0; i < edits_.size(); ++i) t.texts[i] = edits_[i]->Text();
    t.speedMode = speed_mode();
    return t;
}

bool GainEdits::speed_mode() const { return host_.speedMode->Checked(); }

GainText GainEdits::reading(std::size_t index) const { return read_gain_text(edits_[index]->Text()); }

void GainEdits::apply(const RegulationGains& gains, std::size_t count, const std::string& source) {
    const GainTexts before = texts();
    GainTexts after = before;
    for (std::size_t i = 0; i < std::min(count, RUN_GAIN_COUNT); ++i) after.texts[i] = std::to_string(run_gain(gains, i));
    if (after == before) return;
    push(before, source);
    fill(after);
}

void GainEdits::apply(const GainSet& set, const std::string& source) {
    const GainTexts before = texts();
    GainTexts after;
    for (std::size_t i = 0; i < edits_.size(); ++i) after.texts[i] = std::to_string(set.*GAIN_SET_FIELDS[i]);
    after.speedMode = set.speedMode;
    if (after == before) return;
    push(before, source);
    fill(after);
}

void GainEdits::fill(const GainTexts& t) {
    pending_.fill(std::nullopt);  // a set put in replaces what was being typed
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (edits_[i]->Text() != t.texts[i]) edits_[i]->SetText(t.texts[i]);
    }
    if (speed_mode() != t.speedMode) host_.speedMode->SetChecked(t.speedMode);
}

void GainEdits::push(const GainTexts& before, const std::string& source) {
    history_.push_back({before, source});
    if (history_.size() > kHistory) history_.erase(history_.begin());
    keep_history();
    if (onHistoryChange) onHistoryChange();
}

bool GainEdits::undo() { return !history_.empty() && undo_to(history_.size() - 1); }

bool GainEdits::undo_to(std::size_t index) {
    if (index >= history_.size()) return false;
    const GainTexts before = history_[index].before;
    history_.erase(history_.begin() + static_cast<std::ptrdiff_t>(index), history_.end());
    fill(before);
    keep_history();
    if (onHistoryChange) onHistoryChange();
    return true;
}

// ---- with the panel ----

void GainEdits::attach(EditChanges& changes) {
    if (attached_) return;
    attached_ = true;
    changes_ = &changes;
    subscription_ = changes.subscribe([this] {
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (pending_[i]) follow_pending(i);
        }
    });
    for (std::size_t i = 0; i < kHundredths; ++i) {
        windowRefused_[i] = std::move(edits_[i]->OnRefused);
        edits_[i]->OnRefused = [this, i](const std::string& typed) {
            if (typed == "." || typed == ",") decimal_typed(i);
        };
    }
    watch_ = std::make_unique<Watch>(*this);
    load_history();
}

bool GainEdits::pending_decimal() const {
    return std::any_of(pending_.begin(), pending_.end(), [](const auto& p) { return p.has_value(); });
}

void GainEdits::decimal_typed(std::size_t i) {
    TLabeledEdit* edit = edits_[i];
    if (pending_[i]) {
        edit->ShowNote("One decimal point is enough");
        return;
    }
    const QLineEdit* line = line_of(edit);
    const int at = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    const std::string whole = line->text().left(at).toStdString();
    if (!digits_only(whole.empty() || whole.front() != '-' ? whole : whole.substr(1))) return;
    pending_[i] = Pending{static_cast<std::size_t>(at), whole};
    follow_pending(i);
}

// While a point is pending the note says what leaving the edit will make of it.
void GainEdits::follow_pending(std::size_t i) {
    const Pending& p = *pending_[i];
    const std::string text = edits_[i]->Text();
    if (text.compare(0, p.digitsBefore, p.whole) != 0 || text.size() < p.digitsBefore) {
        pending_[i].reset();  // the digits before the point were changed: the point goes
        edits_[i]->ShowNote("The decimal point was dropped: gains are whole hundredths, 250 = 2.5");
        return;
    }
    const std::string fraction = text.substr(p.digitsBefore);
    const std::string typed = decimal_text(p.whole, fraction);
    const std::optional<std::int16_t> value = hundredths_of(p.whole, fraction);
    edits_[i]->ShowNote(value ? std::string(kNames[i]) + " " + typed + " becomes " + std::to_string(*value) +
                                    " (hundredths) when you leave the edit"
                              : std::string(kNames[i]) + " " + typed + " is beyond the largest gain, 327.67");
}

void GainEdits::edit_left(std::size_t i) {
    if (!pending_[i]) return;
    const Pending p = *pending_[i];
    pending_[i].reset();
    TLabeledEdit* edit = edits_[i];
    const std::string text = edit->Text();
    const std::string fraction = text.size() >= p.digitsBefore ? text.substr(p.digitsBefore) : std::string();
    const std::string typed = decimal_text(p.whole, fraction);
    std::string note;
    if (const std::optional<std::int16_t> value = hundredths_of(p.whole, fraction)) {
        edit->SetText(std::to_string(*value));
        note = std::string(kNames[i]) + " " + typed + " read as " + std::to_string(*value) + ": gains are in hundredths";
    } else {
        edit->SetText(p.whole);
        note = std::string(kNames[i]) + " " + typed + " is beyond the largest gain, 327.67: not taken";
    }
    // Once the focus has moved on (a focus change would hide the note at once).
    QTimer::singleShot(0, watch_.get(), [edit, note] { edit->ShowNote(note); });
    changes_->notify();  // followers that waited for the point go on, changed or not
}

// ---- kept for a restart ----

namespace {

constexpr const char* kTextsKey = "gains/edits/";
constexpr const char* kHistoryKey = "gains/history/";

using Settings = std::vector<std::pair<std::string, std::string>>;

void add_texts(Settings& out, const std::string& prefix, const GainTexts& t) {
    for (std::size_t i = 0; i < t.texts.size(); ++i) out.emplace_back(prefix + key_of(i), t.texts[i]);
    out.emplace_back(prefix + "speed_mode", t.speedMode ? "1" : "0");
}

std::optional<GainTexts> read_texts(const std::string& prefix) {
    const std::string mode = ReadSetting(prefix + "speed_mode");
    if (mode.empty()) return std::nullopt;
    GainTexts t;
    for (std::size_t i = 0; i < t.texts.size(); ++i) t.texts[i] = ReadSetting(prefix + key_of(i));
    t.speedMode = mode == "1";
    return t;
}

}  // namespace

// As the panel goes (with the window, at the program's end).
void GainEdits::keep_texts() const {
    if (!attached_) return;
    Settings values;
    add_texts(values, kTextsKey, texts());
    WriteSettings(values);
}

void GainEdits::restore_texts() {
    if (const std::optional<GainTexts> kept = read_texts(kTextsKey)) fill(*kept);
}

void GainEdits::keep_history() const {
    if (!attached_) return;
    Settings values{{std::string(kHistoryKey) + "size", std::to_string(history_.size())}};
    for (std::size_t n = 0; n < history_.size(); ++n) {
        const std::string prefix = kHistoryKey + std::to_string(n) + "/";
        values.emplace_back(prefix + "source", history_[n].source);
        add_texts(values, prefix, history_[n].before);
    }
    WriteSettings(values);
}

void GainEdits::load_history() {
    const std::string size = ReadSetting(std::string(kHistoryKey) + "size");
    const std::size_t count =
        size.empty() || size.size() > 3 || !digits_only(size) ? 0 : std::min<std::size_t>(kHistory, std::stoul(size));
    history_.clear();
    for (std::size_t n = 0; n < count; ++n) {
        const std::string prefix = kHistoryKey + std::to_string(n) + "/";
        if (const std::optional<GainTexts> before = read_texts(prefix)) {
            history_.push_back({*before, ReadSetting(prefix + "source")});
        }
    }
    if (onHistoryChange) onHistoryChange();
}
