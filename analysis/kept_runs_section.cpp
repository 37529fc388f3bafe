#include "analysis/kept_runs_section.h"

#include "analysis/run_record.h"
#include "toolkit/chart/chart.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Faded: a kept run lies under the live one without hiding it.
constexpr int kKeptAlpha = 80;
constexpr int kKeptWidth = 1;

}  // namespace

std::string kept_run_label(int number, const RunRecord& record) {
    const RegulationGains& g = record.start().gains;
    std::string label = "#" + std::to_string(number) + " " + record.mode_text();
    label += " Kp " + std::to_string(g.kp) + " Ki " + std::to_string(g.ki) + " Kd " + std::to_string(g.kd);
    label += record.start().speedMode ? " w " + std::to_string(g.w) : " Kv " + std::to_string(g.kv);
    return label;
}

KeptRunsSection::KeptRunsSection(RunFeed& feed, const RunRecord& record, TChart& chart, QWidget* parent)
    : QWidget(parent), feed_(feed), record_(record), chart_(chart) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    keep_ = new QCheckBox("Keep runs", this);
    keep_->setChecked(true);
    row->addWidget(keep_);
    row->addStretch(1);
    auto* remove = new QPushButton("Remove", this);
    row->addWidget(remove);
    column->addLayout(row);
    list_ = new QListWidget(this);
    list_->setFixedHeight(list_->fontMetrics().height() * 3 + 8);
    list_->setToolTip("Tick to show, untick to hide; Remove takes the selected run away.");
    column->addWidget(list_);

    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (filling_) return;
        set_shown(static_cast<std::size_t>(list_->row(item)), item->checkState() == Qt::Checked);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = list_->currentRow();
        if (row >= 0) this->remove(static_cast<std::size_t>(row));
    });

    RunFeed::Listener listener;
    listener.onStarting = [this] {
        if (keeping()) keep_chart_run();
    };
    subscription_ = feed_.subscribe(std::move(listener));
}

KeptRunsSection::~KeptRunsSection() {
    feed_.unsubscribe(subscription_);
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
        style.Color = series.Color();
        style.Width = kKeptWidth;
        style.Alpha = kKeptAlpha;
        style.AxisOf = static_cast<int>(s);
        TChartOverlay* line = chart_.AddOverlay(style);
        for (std::size_t i = 0; i < series.Count(); ++i) line->AddXY(series.XValue(i), series.YValue(i));
        run.lines[s] = line;
        any = true;
    }
    if (!any) return;
    run.number = nextNumber_++;
    run.label = kept_run_label(run.number, record_);
    kept_.push_back(run);
    while (kept_.size() > kMaxKept) remove(0);
    list_changed();
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
}

void KeptRunsSection::remove(std::size_t index) {
    if (index >= kept_.size()) return;
    for (TChartOverlay* line : kept_[index].lines) {
        if (line) chart_.RemoveOverlay(line);
    }
    kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(index));
    chart_.Repaint();
    list_changed();
}

void KeptRunsSection::list_changed() {
    filling_ = true;
    const int current = list_->currentRow();
    list_->clear();
    for (const KeptRun& run : kept_) {
        auto* item = new QListWidgetItem(QString::fromStdString(run.label), list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        bool shown = false;
        for (const TChartOverlay* line : run.lines) shown = shown || (line && line->Visible());
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    if (current >= 0 && current < list_->count()) list_->setCurrentRow(current);
    filling_ = false;
}
