#include "analysis/search/find_gains_section.h"

#include "analysis/live/gain_edits.h"
#include "analysis/live/steady_label.h"
#include "analysis/search/find_gains_scatter.h"
#include "analysis/map/gain_map_model.h"
#include "analysis/map/gain_map_sweep.h"
#include "core/measure/gain_set.h"
#include "core/search/gain_search.h"
#include "core/program/nc_program.h"
#include "core/batch/sweep_grid.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"

#include <cmath>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QStringList>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr const char* kNoLimit = "—";
constexpr int kRedrawMs = 200;  // the scatter follows the stream at most this often
constexpr const char* kGainNames[4] = {"Kp", "Ki", "Kd", "Kv"};

// "24192396" as "24,192,396".
QString grouped(const QString& digits) {
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}
QString grouped(std::uint64_t n) { return grouped(QString::number(n)); }

QString text_of(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A search column as the map and the combo boxes show it: "|Steady error| (count)".
QString caption_of(const QString& column) {
    const MetricColumn* c = metric_column_named(column.toStdString());
    return c ? QString::fromStdString(metric_caption(*c, true)) : column;
}

}  // namespace

FindGainsSection::FindGainsSection(const AnalysisHost& host, QWidget* parent)
    : QWidget(parent),
      host_(host),
      program_(QCoreApplication::applicationDirPath() + "/vantrel-trace"),
      child_(std::make_unique<GainMapSweep>(this)) {
    setObjectName("findGains");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    // Each column by its caption, as the map shows it; its name is the item's data.
    const auto column_box = [&](const char* name, bool withNone, std::optional<Metric> chosen) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        // Narrow enough for the panel: the longest captions need not show whole when closed.
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(8);
        if (withNone) box->addItem(kNoLimit);
        for (const std::string_view column : search_column_names()) {
            const MetricColumn& c = *metric_column_named(column);
            box->addItem(QString::fromStdString(metric_caption(c, true)), text_of(column));
            box->setItemData(box->count() - 1, QString::fromStdString(metric_description(c)), Qt::ToolTipRole);
        }
        if (chosen) box->setCurrentIndex(box->findData(text_of(metric_column(*chosen).name)));
        return box;
    };

    int row = 0;
    grid->addWidget(new QLabel("Minimise", this), row, 0);
    objective_ = column_box("objective", false, Metric::kIae);
    grid->addWidget(objective_, row++, 1, 1, 3);
    for (std::size_t i = 0; i < kLimits; ++i) {
        grid->addWidget(new QLabel("At most", this), row, 0);
        const std::optional<Metric> first = i == 0 ? std::optional(Metric::kPwmLimitPasses) : std::nullopt;
        limitColumns_[i] = column_box(("limit" + std::to_string(i)).c_str(), true, first);
        limitValues_[i] = new QLineEdit(i == 0 ? "0" : "", this);
        limitValues_[i]->setMinimumWidth(40);
        limitValues_[i]->setObjectName(QString("limitValue%1").arg(i));
        grid->addWidget(limitColumns_[i], row, 1, 1, 2);
        grid->addWidget(limitValues_[i], row++, 3);
    }
    noWraps_ = new QCheckBox("No wraps", this);
    noWraps_->setObjectName("noWraps");
    noWraps_->setChecked(true);
    noWraps_->setToolTip("No pass may wrap an error, sum or output of either loop");
    grid->addWidget(noWraps_, row, 0, 1, 2);
    grid->addWidget(new QLabel("Passes", this), row, 2, Qt::AlignRight);
    passes_ = new QSpinBox(this);
    passes_->setRange(1, 1'000'000);
    passes_->setValue(500);
    passes_->setToolTip("Passes of each speed-mode run (position runs go to the program's end)");
    grid->addWidget(passes_, row++, 3);
    for (std::size_t g = 0; g < ranges_.size(); ++g) {
        const QString name = text_of(GAIN_SET_KEYS[g]);
        auto* label = new QLabel(name.left(1).toUpper() + name.mid(1), this);
        ranges_[g] = new QLineEdit(this);
        ranges_[g]->setObjectName(name + "Range");
        ranges_[g]->setToolTip("FROM:TO (step 1), FROM:TO:STEP, or a single value to keep the gain fixed");
        grid->addWidget(label, row + static_cast<int>(g / 2), static_cast<int>(g % 2) * 2);
        grid->addWidget(ranges_[g], row + static_cast<int>(g / 2), static_cast<int>(g % 2) * 2 + 1);
    }
    row += 2;
    auto* fromEdits = new QPushButton("From edits", this);
    fromEdits->setToolTip("Each range a quarter to four times the edit's value");
    start_ = new QPushButton("Start", this);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setEnabled(false);
    grid->addWidget(fromEdits, row, 0, 1, 2);
    grid->addWidget(start_, row, 2);
    grid->addWidget(cancel_, row++, 3);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    grid->addWidget(progress_, row++, 0, 1, 4);
    best_ = new SteadyLabel(2, "No search yet.", this);
    best_->setObjectName("best");
    best_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(best_, row++, 0, 1, 4);
    edge_ = new SteadyLabel(2, this);
    edge_->setObjectName("edge");
    grid->addWidget(edge_, row, 0, 1, 3);
    widen_ = new QPushButton("Widen", this);
    widen_->setObjectName("widen");
    widen_->setEnabled(false);
    widen_->setToolTip("Widen the ranges whose edge the best set lies on, then Start again");
    grid->addWidget(widen_, row++, 3, Qt::AlignTop);
    apply_ = new QPushButton("Apply", this);
    apply_->setObjectName("apply");
    apply_->setEnabled(false);
    apply_->setToolTip("Fill the edits with the best set; the next run shows it");
    grid->addWidget(apply_, row, 0);
    grid->addWidget(new QLabel("Across", this), row, 1, Qt::AlignRight);
    across_ = column_box("across", false, Metric::kMaxFollowingError);
    grid->addWidget(across_, row++, 2, 1, 2);
    scatter_ = new FindGainsScatter(this);
    grid->addWidget(scatter_, row++, 0, 1, 4);
    status_ = new SteadyLabel(3, "Set the ranges and limits, then Start. Click a point to fill the edits.", this);
    grid->addWidget(status_, row++, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    redrawTimer_ = new QTimer(this);
    redrawTimer_->setSingleShot(true);
    redrawTimer_->setInterval(kRedrawMs);
    connect(redrawTimer_, &QTimer::timeout, this, [this] { redraw(); });
    connect(fromEdits, &QPushButton::clicked, this, [this] { fill_ranges_from_edits(); });
    connect(start_, &QPushButton::clicked, this, [this] { start(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(apply_, &QPushButton::clicked, this, [this] { apply(); });
    connect(widen_, &QPushButton::clicked, this, [this] { widen(); });
    connect(across_, &QComboBox::currentIndexChanged, this, [this] { redraw(); });
    scatter_->onPointClicked = [this](std::size_t i) {
        if (i >= model_.sets().size()) return;
        picked_ = i;
        fill_edits(model_.sets()[i].gains, "a point of Find gains");
        redraw();
    };
    scatter_->onCopy = [this] {
        if (model_.sets().empty()) {
            set_status("No feasible sets to copy yet.");
            return;
        }
        QGuiApplication::clipboard()->setText(QString::fromStdString(scatter_csv()));
        set_status(QString("Copied %1 sets as CSV, at full precision.").arg(model_.sets().size()));
    };
    connect(objective_, &QComboBox::currentIndexChanged, this, [this] {
        fill_across();
        if (!searching()) redraw();
    });
    fill_across();
    child_->onLine = [this](const std::string& line) { take_line(line); };
    child_->onEnd = [this](const QString& failure) { ended(failure); };
    fill_ranges_from_edits();
    redraw();
}

FindGainsSection::~FindGainsSection() { child_.reset(); }  // stops a running search before the widgets go

bool FindGainsSection::searching() const { return child_->running(); }
QString FindGainsSection::status_text() const { return status_->text(); }
QString FindGainsSection::best_text() const { return best_->text(); }
QString FindGainsSection::edge_text() const { return edge_->text(); }

void FindGainsSection::set_status(const QString& text, bool error) {
    status_->setText(text);
    status_->setStyleSheet(error ? "color: #b00000" : "");
}

void FindGainsSection::fill_ranges_from_edits() {
    const RegulationGains gains = host_.gains->run_gains();
    for (std::size_t g = 0; g < ranges_.size(); ++g) {
        ranges_[g]->setText(QString::fromStdString(default_gain_range(run_gain(gains, g))));
    }
}

QStringList FindGainsSection::arguments() {
    const bool speedMode = host_.speedMode->Checked();
    QStringList args{"tune", "--stream", "--mode", speedMode ? "speed" : "position"};
    if (speedMode) {
        args << "--passes" << QString::number(passes_->value()) << "--w" << QString::number(host_.gains->run_gains().w);
    } else if (!nc_demo_chosen()) {
        args << "--program" << QString::fromStdString(nc_chosen_program().path);
    }
    for (std::size_t g = 0; g < ranges_.size(); ++g) {
        const std::string text = ranges_[g]->text().trimmed().toStdString();
        GainRange range;
        std::string error;
        if (!parse_gain_range(text, range, error)) {
            set_status(text_of(GAIN_SET_KEYS[g]) + ": " + QString::fromStdString(error), true);
            return {};
        }
        searched_[g] = range;
        searchedText_[g] = QString::fromStdString(text);
        args << "--" + text_of(GAIN_SET_KEYS[g]) << QString::fromStdString(text);
    }
    args << "--objective" << objective_->currentData().toString();
    for (std::size_t i = 0; i < kLimits; ++i) {
        const QString column = limitColumns_[i]->currentData().toString();
        if (column.isEmpty()) continue;  // no limit
        bool ok = false;
        const double most = limitValues_[i]->text().trimmed().toDouble(&ok);
        if (!ok) {
            set_status(limitColumns_[i]->currentText() + ": the limit is not a number", true);
            return {};
        }
        const std::string refusal = metric_limit_refusal(*metric_column_named(column.toStdString()), most);
        if (!refusal.empty()) {
            set_status(QString::fromStdString(refusal), true);
            return {};
        }
        args << "--max" << column + "=" + QString::number(most, 'g', 17);
    }
    if (noWraps_->isChecked()) args << "--no-wraps";
    return args;
}

void FindGainsSection::start() {
    if (searching()) return;
    const QStringList args = arguments();
    if (args.isEmpty()) return;
    objectiveName_ = objective_->currentData().toString();
    model_.reset(objectiveName_.toStdString());
    // A column that applies to the mode across, unless the user chose one that does.
    const bool speedMode = host_.speedMode->Checked();
    if (!metric_applies(*metric_column_named(across_->currentData().toString().toStdString()), speedMode)) {
        const Metric fits = speedMode ? Metric::kOvershootPct : Metric::kMaxFollowingError;
        across_->setCurrentIndex(across_->findData(text_of(metric_column(fits).name)));
    }
    cancelled_ = false;
    picked_.reset();
    show_edges({});
    redraw();
    best_->setText("No feasible set yet.");
    apply_->setEnabled(false);
    progress_->setRange(0, 0);  // busy until the search says how much it will measure
    swap_buttons(start_, cancel_);
    set_status(QString("Searching (%1 mode)…").arg(host_.speedMode->Checked() ? "speed" : "position"));
    child_->start(program_, args);
}

void FindGainsSection::cancel() {
    if (!searching()) return;
    cancelled_ = true;
    child_->cancel();
}

void FindGainsSection::take_line(const std::string& line) {
    const std::size_t before = model_.sets().size();
    const std::string best = model_.best_row();
    model_.take_line(line);
    if (model_.best_row() != best) show_best();
    if (model_.sets().size() != before && !redrawTimer_->isActive()) redrawTimer_->start();
    if (searching() && model_.planned() > 0) show_progress();
}

// "12 s", "3 min"; the time left at the pace so far.
QString FindGainsSection::time_left() const {
    const double done = double(model_.measured());
    if (done <= 0) return "…";
    const double seconds = child_->seconds() * (double(model_.planned()) - done) / done;
    if (seconds < 1) return "under a second";
    if (seconds < 120) return QString("about %1 s").arg(std::lround(seconds));
    return QString("about %1 min").arg(std::lround(seconds / 60));
}

void FindGainsSection::show_progress() {
    constexpr int kSteps = 1000;
    progress_->setRange(0, kSteps);
    progress_->setValue(int(double(kSteps) * double(model_.measured()) / double(model_.planned())));
    const QString box = QString::fromStdString(model_.box_sets());
    const bool whole = QString::number(model_.planned()) == box;
    set_status(whole ? QString("Measuring every set: %1 of %2, %3 left…")
                           .arg(grouped(model_.measured()), grouped(box), time_left())
                     : QString("Searching: %1 sets of at most %2 (the box has %3), %4 left…")
                           .arg(grouped(model_.measured()), grouped(model_.planned()), grouped(box), time_left()));
}

void FindGainsSection::ended(const QString& failure) {
    swap_buttons(cancel_, start_);
    progress_->setRange(0, 1);
    progress_->setValue(cancelled_ || !failure.isEmpty() ? 0 : 1);
    redraw();
    show_best();
    if (const auto best = model_.best(); best && failure.isEmpty()) show_edges(range_edges(best->gains, searched_));
    const QString box = grouped(QString::fromStdString(model_.box_sets()));
    if (cancelled_) {
        set_status(QString("Cancelled after %1 sets; the best so far stays.").arg(grouped(model_.measured())));
    } else if (!failure.isEmpty()) {
        set_status(failure, true);
    } else {
        const QString measured = model_.answer() == FindGainsModel::Answer::Exact
                                     ? QString("Exact: every one of the %1 sets measured").arg(box)
                                     : QString("Best found: %1 of %2 sets measured").arg(grouped(model_.measured()), box);
        set_status(QString("%1 in %2 s; %3 feasible sets shown. Apply, or click a point to fill the edits.")
                       .arg(measured)
                       .arg(QString::number(child_->seconds(), 'f', 1))
                       .arg(grouped(std::uint64_t(model_.sets().size()))));
    }
}

void FindGainsSection::show_best() {
    const std::optional<FoundSet> best = model_.best();
    if (!best) return;
    const auto value = FindGainsModel::value(*best, objectiveName_.toStdString());
    const char* kind = model_.final_rows().empty()                               ? "So far best"
                       : model_.answer() == FindGainsModel::Answer::Exact ? "Exact best"
                                                                          : "Best found";
    best_->setText(QString("%1: Kp %2 Ki %3 Kd %4 Kv %5, %6 %7")
                       .arg(kind)
                       .arg(best->gains.kp)
                       .arg(best->gains.ki)
                       .arg(best->gains.kd)
                       .arg(best->gains.kv)
                       .arg(caption_of(objectiveName_))
                       .arg(value ? QString::number(*value, 'g', 6) : "—"));
    apply_->setEnabled(true);
}

std::string FindGainsSection::shown_objective() const {
    return (objectiveName_.isEmpty() ? objective_->currentData().toString() : objectiveName_).toStdString();
}

void FindGainsSection::redraw() {
    const std::string x = across_->currentData().toString().toStdString();
    const std::string y = shown_objective();
    std::vector<FindGainsScatter::Point> points, front;
    const auto& sets = model_.sets();
    const auto point = [&](const FoundSet& set, std::size_t index) -> std::optional<FindGainsScatter::Point> {
        const auto vx = FindGainsModel::value(set, x), vy = FindGainsModel::value(set, y);
        if (!vx || !vy) return std::nullopt;
        return FindGainsScatter::Point{*vx, *vy, index};
    };
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (const auto p = point(sets[i], i)) points.push_back(*p);
    }
    for (const std::size_t i : model_.front(x, y)) front.push_back(*point(sets[i], i));
    std::optional<FindGainsScatter::Point> best;
    if (const auto b = model_.best()) best = point(*b, best_index().value_or(0));
    std::optional<FindGainsScatter::Point> picked;
    if (picked_ && *picked_ < sets.size()) picked = point(sets[*picked_], *picked_);
    scatter_->set_points(std::move(points), std::move(front), best, picked, caption_of(text_of(x)).toStdString(),
                         caption_of(text_of(y)).toStdString());
}

// The best set's place among the sets, if it is one of them.
std::optional<std::size_t> FindGainsSection::best_index() const {
    const auto best = model_.best();
    if (!best) return std::nullopt;
    const auto& sets = model_.sets();
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const RegulationGains& g = sets[i].gains;
        if (g.kp == best->gains.kp && g.ki == best->gains.ki && g.kd == best->gains.kd && g.kv == best->gains.kv) return i;
    }
    return std::nullopt;
}

// "Copy as CSV": every feasible set with its gains, the two columns shown and
// whether it lies on the front.
std::string FindGainsSection::scatter_csv() const {
    const std::string x = across_->currentData().toString().toStdString();
    const std::string y = shown_objective();
    const auto& sets = model_.sets();
    std::vector<bool> onFront(sets.size(), false);
    for (const std::size_t i : model_.front(x, y)) onFront[i] = true;
    std::string out = "kp,ki,kd,kv," + x + "," + y + ",front\n";
    const auto cell = [](std::optional<double> v) { return v ? QString::number(*v, 'g', 17).toStdString() : std::string(); };
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const RegulationGains& g = sets[i].gains;
        out += std::to_string(g.kp) + "," + std::to_string(g.ki) + "," + std::to_string(g.kd) + "," +
               std::to_string(g.kv) + "," + cell(FindGainsModel::value(sets[i], x)) + "," +
               cell(FindGainsModel::value(sets[i], y)) + "," + (onFront[i] ? "1" : "0") + "\n";
    }
    return out;
}

// "Across" offers every column but the objective: a column against itself says nothing.
void FindGainsSection::fill_across() {
    const QString keep = across_->currentData().toString();
    const QSignalBlocker quiet(across_);
    across_->clear();
    for (const std::string_view column : search_column_names()) {
        if (text_of(column) == objective_->currentData().toString()) continue;
        const MetricColumn& c = *metric_column_named(column);
        across_->addItem(QString::fromStdString(metric_caption(c, true)), text_of(column));
        across_->setItemData(across_->count() - 1, QString::fromStdString(metric_description(c)), Qt::ToolTipRole);
    }
    const int again = across_->findData(keep);
    const int fallback = across_->findData(text_of(metric_column(Metric::kMaxFollowingError).name));
    across_->setCurrentIndex(again >= 0 ? again : std::max(0, fallback));
}

// The best set on an edge of its box: said, and "Widen" offered.
void FindGainsSection::show_edges(const std::vector<RangeEdge>& edges) {
    edges_ = edges;
    widen_->setEnabled(!edges.empty());
    QStringList said;
    for (const RangeEdge& e : edges) {
        said << QString("%1 %2 is at the %3 of %4")
                    .arg(kGainNames[e.gain])
                    .arg(run_gain(model_.best()->gains, e.gain))
                    .arg(e.top ? "top" : "bottom")
                    .arg(searchedText_[e.gain]);
    }
    edge_->setText(edges.empty() ? QString() : said.join("; ") + ": the optimum may lie beyond. Widen?");
}

void FindGainsSection::widen() {
    for (const RangeEdge& e : edges_) ranges_[e.gain]->setText(QString::fromStdString(gain_range_text(e.widened)));
    set_status("Ranges widened; Start searches the larger box.");
    show_edges({});
}

void FindGainsSection::apply() {
    if (const auto best = model_.best()) fill_edits(best->gains, "Find gains' best");
}

void FindGainsSection::fill_edits(const RegulationGains& g, const std::string& source) {
    host_.gains->apply(g, 4, source);
    set_status(QString("Edits filled: Kp %1 Ki %2 Kd %3 Kv %4.").arg(g.kp).arg(g.ki).arg(g.kd).arg(g.kv));
}
