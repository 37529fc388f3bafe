#include "analysis/kept/kept_runs_section.h"

#include "analysis/live/run_record.h"
#include "toolkit/chart/chart.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// All runs alike while none is selected; the selected one over the others,
// which fade so that the live run and the selected one stand out.
constexpr int kAlikeAlpha = 150;
constexpr int kFadedAlpha = 70;
constexpr int kSelectedWidth = 2;

// The controller output and the commanded position are dashed, so that a
// run's lines, all in its colour, still tell apart.
constexpr bool kDashedSeries[4] = {true, false, false, true};

QIcon swatch(TColor colour, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(QColor(color_red(colour), color_green(colour), color_blue(colour)));
    QIcon icon(pixmap);
    icon.addPixmap(pixmap, QIcon::Selected);  // the run's colour, not the selection's tint
    return icon;
}

}  // namespace

// None of the live lines' hues (red, navy, amber, violet, the difference's
// olive): a kept run is never taken for the run on the chart.
const std::array<TColor, KeptRunsSection::kMaxKept> KeptRunsSection::kPalette = {
    color_from_rgb(31, 119, 180),   color_from_rgb(44, 160, 44), color_from_rgb(140, 86, 75),
    color_from_rgb(227, 119, 194),  color_from_rgb(23, 190, 207), color_from_rgb(127, 127, 127),
    color_from_rgb(0, 128, 128),    color_from_rgb(250, 128, 114),
};

std::string kept_run_label(int number, const RunRecord& record) {
    const RegulationGains& g = record.start().gains;
    std::string label = "#" + std::to_string(number) + " " + record.mode_text();
    label += " Kp " + std::to_string(g.kp) + " Ki " + std::to_string(g.ki) + " Kd " + std::to_string(g.kd);
    label += record.start().speedMode ? " w " + std::to_string(g.w) : " Kv " + std::to_string(g.kv);
    return label;
}

std::string kept_run_name(const KeptRunsSection::KeptRun& run) {
    const RegulationGains& g = run.gains;
    std::string name = "#" + std::to_string(run.number);
    name += " Kp " + std::to_string(g.kp) + " Ki " + std::to_string(g.ki) + " Kd " + std::to_string(g.kd);
    name += run.metrics.speedMode ? " w " + std::to_string(g.w) : " Kv " + std::to_string(g.kv);
    return run.switches.empty() ? name : name + ", " + run.switches;
}

KeptRunsSection::KeptRunsSection(RunFeed& feed, const RunRecord& record, TChart& chart, QWidget* parent)
    : QWidget(parent), feed_(feed), record_(record), chart_(chart) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    keep_ = new QCheckBox("Keep runs", this);
    keep_->setObjectName("keepRuns");
    keep_->setChecked(true);
    row->addWidget(keep_);
    row->addStretch(1);
    auto* remove = new QPushButton("Remove", this);
    row->addWidget(remove);
    column->addLayout(row);
    list_ = new QListWidget(this);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fit_rows();
    list_->setToolTip("Tick to show, untick to hide; the selected run is drawn over the others; Remove takes it away.");
    column->addWidget(list_);

    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (filling_) return;
        set_shown(static_cast<std::size_t>(list_->row(item)), item->checkState() == Qt::Checked);
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_) return;
        selectedNumber_ = row >= 0 && row < static_cast<int>(kept_.size()) ? kept_[static_cast<std::size_t>(row)].number : 0;
        restyle();
        if (changed) changed();
    });
    connect(remove, &QPushButton::clicked, this, [this] { remove_selected(); });

    chart_.SetOverlayHeading("Kept runs");
    RunFeed::Listener listener;
    listener.onStarting = [this] {
        if (keeping()) keep_chart_run();
    };
    subscription_ = feed_.subscribe(std::move(listener));
}

// All kMaxKept rows in sight without a scroll bar of the list's own: the
// height of a row as the list draws one, with its tick box, swatch and text
// in the font it has now.
void KeptRunsSection::fit_rows() {
    const int side = list_->fontMetrics().height();
    list_->setIconSize(QSize(side, side));
    const bool empty = list_->count() == 0;
    if (empty) {
        auto* sample = new QListWidgetItem(swatch(kPalette[0], side), "#8 position Kp 250 Ki 60 Kd 0 Kv 30", list_);
        sample->setFlags(sample->flags() | Qt::ItemIsUserCheckable);
        sample->setCheckState(Qt::Checked);
    }
    const int row = std::max(list_->sizeHintForRow(0), side);
    if (empty) delete list_->takeItem(0);
    list_->setFixedHeight(row * static_cast<int>(kMaxKept) + 2 * list_->frameWidth());
}

void KeptRunsSection::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && list_) fit_rows();
}

KeptRunsSection::~KeptRunsSection() {
    feed_.unsubscribe(subscription_);
    chart_.SetOverlayHeading("");
    for (KeptRun& run : kept_) {
        for (TChartOverlay* line : run.lines) {
            if (line) chart_.RemoveOverlay(line);
        }
    }
}

bool KeptRunsSection::keeping() const { return keep_->isChecked(); }

void KeptRunsSection::keep_chart_run() {
    // Only a run the panels saw start has a label; a chart without run
    // points (only the start row) has nothing worth keeping.
    if (!record_.known()) return;
    KeptRun run;
    bool any = false;
    for (std::size_t s = 0; s < run.lines.size() && s < chart_.SeriesCount(); ++s) {
        const TLineSeries& series = *chart_.Series(s);
        if (series.Count() < 2) continue;
        TOverlayStyle style;
        style.AxisOf = static_cast<int>(s);
        style.Dashed = kDashedSeries[s];
        TChartOverlay* line = chart_.AddOverlay(style);
        for (std::size_t i = 0; i < series.Count(); ++i) line->AddXY(series.XValue(i), series.YValue(i));
        run.lines[s] = line;
        run.titles[s] = series.Title();
        any = true;
    }
    if (!any) return;
    while (kept_.size() >= kMaxKept) remove(0);
    run.number = nextNumber_++;
    run.label = kept_run_label(run.number, record_);
    run.gains = record_.start().gains;
    run.metrics = record_.metrics();
    if (!record_.switches().empty()) run.switches = record_.mode_text();
    for (TColor colour : kPalette) {
        const bool taken = std::any_of(kept_.begin(), kept_.end(), [colour](const KeptRun& k) { return k.colour == colour; });
        if (!taken) {
            run.colour = colour;
            break;
        }
    }
    kept_.push_back(run);
    list_changed();
    restyle();
    if (changed) changed();
}

// Called from the list's own item signal too: the item's tick is only set,
// never the list rebuilt, while Qt still holds the item.
void KeptRunsSection::set_shown(std::size_t index, bool shown) {
    if (index >= kept_.size()) return;
    for (TChartOverlay* line : kept_[index].lines) {
        if (line) line->SetVisible(shown);
    }
    chart_.Repaint();
    QListWidgetItem* item = list_->item(static_cast<int>(index));
    const Qt::CheckState state = shown ? Qt::Checked : Qt::Unchecked;
    if (item && item->checkState() != state) {
        filling_ = true;
        item->setCheckState(state);
        filling_ = false;
    }
    if (changed) changed();
}

bool KeptRunsSection::shown(std::size_t index) const {
    if (index >= kept_.size()) return false;
    return std::any_of(kept_[index].lines.begin(), kept_[index].lines.end(),
                       [](const TChartOverlay* line) { return line && line->Visible(); });
}

void KeptRunsSection::remove(std::size_t index) {
    if (index >= kept_.size()) return;
    for (TChartOverlay* line : kept_[index].lines) {
        if (line) chart_.RemoveOverlay(line);
    }
    kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(index));
    list_changed();
    restyle();
    if (changed) changed();
}

void KeptRunsSection::remove_selected() {
    std::vector<std::size_t> rows;
    for (const QListWidgetItem* item : list_->selectedItems()) rows.push_back(static_cast<std::size_t>(list_->row(item)));
    if (rows.empty() && list_->currentRow() >= 0) rows.push_back(static_cast<std::size_t>(list_->currentRow()));
    if (rows.empty()) return;
    std::sort(rows.rbegin(), rows.rend());
    for (std::size_t row : rows) remove(row);
    chart_.FitToData();
}

void KeptRunsSection::select(int index) {
    list_->setCurrentRow(index >= 0 && index < list_->count() ? index : -1);
}

int KeptRunsSection::selected() const {
    for (std::size_t r = 0; r < kept_.size(); ++r) {
        if (kept_[r].number == selectedNumber_) return static_cast<int>(r);
    }
    return -1;
}

void KeptRunsSection::restyle() {
    const int chosen = selected();
    for (std::size_t r = 0; r < kept_.size(); ++r) {
        const KeptRun& run = kept_[r];
        // One legend entry per run, on its first solid line (its swatch then solid too).
        const TChartOverlay* named = nullptr;
        for (const TChartOverlay* line : run.lines) {
            if (line && (!named || (named->Style().Dashed && !line->Style().Dashed))) named = line;
        }
        for (TChartOverlay* line : run.lines) {
            if (!line) continue;
            TOverlayStyle style = line->Style();
            style.Color = run.colour;
            style.Alpha = chosen < 0 ? kAlikeAlpha : (chosen == static_cast<int>(r) ? 255 : kFadedAlpha);
            style.Width = chosen == static_cast<int>(r) ? kSelectedWidth : 1;
            style.Raised = chosen == static_cast<int>(r);
            style.Legend = line == named ? kept_run_name(run) : std::string();
            line->SetStyle(style);
        }
    }
    chart_.Repaint();
}

void KeptRunsSection::list_changed() {
    filling_ = true;
    const int current = selected();
    if (current < 0) selectedNumber_ = 0;  // the selected run is gone
    const int side = list_->iconSize().height();
    list_->clear();
    for (std::size_t r = 0; r < kept_.size(); ++r) {
        const KeptRun& run = kept_[r];
        auto* item = new QListWidgetItem(swatch(run.colour, side), QString::fromStdString(run.label), list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(shown(r) ? Qt::Checked : Qt::Unchecked);
    }
    list_->setCurrentRow(current >= 0 && current < list_->count() ? current : -1);
    filling_ = false;
}
