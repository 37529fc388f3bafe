#include "analysis/kept/kept_runs_table.h"

#include "analysis/live/run_record.h"
#include "core/formats/csv.h"
#include "core/formats/metrics_format.h"

#include <QClipboard>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace {

constexpr int kNumberRole = Qt::UserRole;      // the cell's number, for sorting
constexpr int kRunRole = Qt::UserRole + 1;     // the run's number, on every cell
const QColor kBestBackground(210, 240, 210);

// Sorts by number, cells without one last; text for the mode.
class Cell : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kNumberRole);
        const QVariant b = other.data(kNumberRole);
        if (!a.isValid() || !b.isValid()) {
            if (a.isValid() != b.isValid()) return a.isValid();
            return text() < other.text();
        }
        return a.toDouble() < b.toDouble();
    }
};

const char* mode_name(const RunMetrics& m) { return m.speedMode ? "speed" : "position"; }

// A row's mode: as the kept list names it, with a switch made during the run.
std::string mode_of(const KeptRunsSection::KeptRun& run) {
    return run.switches.empty() ? mode_name(run.metrics) : run.switches;
}

std::string run_name(const KeptRunsSection::KeptRun& run) {
    return run.number == 0 ? "chart" : std::to_string(run.number);
}

}  // namespace

std::vector<std::vector<bool>> kept_runs_best(const std::vector<KeptRunsSection::KeptRun>& runs) {
    const auto columns = metric_table();
    std::vector<MetricsCells> values;
    for (const auto& run : runs) values.push_back(metrics_cells(run.gains, run.metrics));
    std::vector<std::vector<bool>> best(runs.size(), std::vector<bool>(columns.size(), false));
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].better == MetricBetter::kNone) continue;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            if (!values[r][c]) continue;
            bool beaten = false;
            for (std::size_t o = 0; o < runs.size() && !beaten; ++o) {
                beaten = values[o][c] && runs[o].metrics.speedMode == runs[r].metrics.speedMode &&
                         metric_better(columns[c], *values[o][c], *values[r][c]);
            }
            best[r][c] = !beaten;
        }
    }
    return best;
}

std::string kept_runs_csv(const std::vector<KeptRunsSection::KeptRun>& runs) {
    std::vector<std::string_view> names = {"run", "mode"};
    for (const std::string_view name : metric_names()) names.push_back(name);
    std::string out;
    csv_append_header(out, names);
    for (const auto& run : runs) {
        out += run_name(run) + "," + mode_of(run) + ",";
        csv_append_row(out, metrics_cells(run.gains, run.metrics));
    }
    return out;
}

KeptRunsTable::KeptRunsTable(KeptRunsSection& runs, RunFeed& feed, const RunRecord& record, QWidget* parent)
    : QWidget(parent), runs_(runs), feed_(feed), record_(record) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    table_ = new QTableWidget(this);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setToolTip("Click a heading to sort; green marks the best of each column among runs of one mode.");
    column->addWidget(table_);

    // The run column over the table's own, in the same place: it stays
    // while the rest scrolls under it.
    frozen_ = new QTableView(table_);
    frozen_->setModel(table_->model());
    frozen_->setSelectionModel(table_->selectionModel());
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->verticalHeader()->hide();
    frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    frozen_->setSelectionBehavior(QAbstractItemView::SelectRows);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    frozen_->horizontalHeader()->setSectionsClickable(true);
    table_->viewport()->stackUnder(frozen_);
    table_->installEventFilter(this);
    connect(frozen_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this] {
        const QHeaderView* header = table_->horizontalHeader();
        const bool again = header->sortIndicatorSection() == 0 && header->sortIndicatorOrder() == Qt::AscendingOrder;
        table_->sortItems(0, again ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
    connect(table_->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == 0) place_run_column();
    });

    auto* row = new QHBoxLayout;
    auto* copy = new QPushButton("Copy table", this);
    row->addWidget(copy);
    note_ = new QLabel(this);
    row->addWidget(note_, 1);
    column->addLayout(row);

    connect(copy, &QPushButton::clicked, this, [this] {
        const auto all = rows();
        if (all.empty()) {
            note_->setText("No runs to copy.");
            return;
        }
        QGuiApplication::clipboard()->setText(QString::fromStdString(kept_runs_csv(all)));
        note_->setText(QString("Copied %1 runs as CSV, at full precision.").arg(all.size()));
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (filling_ || row < 0) return;
        const int number = table_->item(row, 0)->data(kRunRole).toInt();
        // The table stays as the user clicked it: no rebuild under Qt's feet.
        filling_ = true;
        runs_.select(-1);
        for (std::size_t r = 0; r < runs_.kept().size(); ++r) {
            if (runs_.kept()[r].number == number) runs_.select(static_cast<int>(r));
        }
        filling_ = false;
    });
    // The chart's row follows its run: at its start (empty) and its end.
    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo&) { refresh(); };
    listener.onEnd = [this] { refresh(); };
    subscription_ = feed_.subscribe(std::move(listener));
    refresh();
}

KeptRunsTable::~KeptRunsTable() { feed_.unsubscribe(subscription_); }

std::vector<KeptRunsSection::KeptRun> KeptRunsTable::rows() const {
    std::vector<KeptRunsSection::KeptRun> out;
    if (record_.known()) {
        KeptRunsSection::KeptRun chart;
        chart.number = 0;
        chart.label = "The run on the chart: " + kept_run_label(0, record_).substr(3);
        chart.colour = 0;
        chart.gains = record_.start().gains;
        chart.metrics = record_.metrics();
        if (!record_.switches().empty()) chart.switches = record_.mode_text();
        out.push_back(chart);
    }
    out.insert(out.end(), runs_.kept().begin(), runs_.kept().end());
    return out;
}

void KeptRunsTable::place_run_column() {
    const int width = table_->columnWidth(0);
    for (int c = 0; c < table_->columnCount(); ++c) frozen_->setColumnHidden(c, c != 0);
    frozen_->setColumnWidth(0, width);
    frozen_->setGeometry(table_->frameWidth(), table_->frameWidth(), width,
                         table_->horizontalHeader()->height() + table_->viewport()->height());
    frozen_->setVisible(table_->columnCount() > 0);
}

// The table is made before it joins the panel, in the application's font:
// it measures again when the panel's reaches it.
void KeptRunsTable::fit_to_font() {
    const int line = table_->fontMetrics().height();
    table_->verticalHeader()->setDefaultSectionSize(line + 6);
    table_->setIconSize(QSize(line - 4, line - 4));
    frozen_->verticalHeader()->setDefaultSectionSize(line + 6);
    frozen_->setIconSize(table_->iconSize());
    // Every row shows, without a scroll bar of its own, and room for all
    // there can be from the start: a kept run moves nothing below the table.
    const int most = static_cast<int>(KeptRunsSection::kMaxKept) + 1;
    const int height = table_->horizontalHeader()->sizeHint().height() +
                       table_->horizontalScrollBar()->sizeHint().height() + 2 * table_->frameWidth() +
                       most * (line + 6);
    table_->setFixedHeight(height);
}

bool KeptRunsTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::FontChange) fit_to_font();
    if (watched == table_ && event->type() == QEvent::Resize) place_run_column();
    return QWidget::eventFilter(watched, event);
}

QString KeptRunsTable::note() const { return note_->text(); }

void KeptRunsTable::refresh() {
    if (filling_) return;
    filling_ = true;
    note_->clear();  // "Copied ..." spoke of runs that may have changed
    const std::vector<KeptRunsSection::KeptRun> runs = rows();
    const auto columns = metric_table();
    std::vector<MetricsCells> values;
    for (const auto& run : runs) values.push_back(metrics_cells(run.gains, run.metrics));
    const auto best = kept_runs_best(runs);
    // The columns some run has a value in.
    std::vector<std::size_t> shown;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        for (const auto& v : values) {
            if (v[c]) {
                shown.push_back(c);
                break;
            }
        }
    }
    table_->setSortingEnabled(false);
    table_->clear();
    table_->setRowCount(static_cast<int>(runs.size()));
    table_->setColumnCount(static_cast<int>(shown.size()) + 2);
    table_->setHorizontalHeaderLabels({"run", "mode"});
    for (std::size_t k = 0; k < shown.size(); ++k) {
        const std::string_view label = columns[shown[k]].label;  // the unit is in the tooltip, as in the metrics
        auto* heading = new QTableWidgetItem(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
        heading->setToolTip(QString::fromStdString(metric_description(columns[shown[k]])));
        table_->setHorizontalHeaderItem(static_cast<int>(k) + 2, heading);
    }
    QFont bold = table_->font();
    bold.setBold(true);
    const int side = table_->fontMetrics().height() - 4;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const auto& run = runs[r];
        const int row = static_cast<int>(r);
        auto put = [&](int col, Cell* item) {
            item->setData(kRunRole, run.number);
            table_->setItem(row, col, item);
        };
        QPixmap pixmap(side, side);
        pixmap.fill(QColor(color_red(run.colour), color_green(run.colour), color_blue(run.colour)));
        QIcon swatch(pixmap);
        swatch.addPixmap(pixmap, QIcon::Selected);
        auto* number = run.number == 0 ? new Cell("chart") : new Cell(swatch, QString("#%1").arg(run.number));
        number->setData(kNumberRole, run.number);
        number->setToolTip(QString::fromStdString(run.label));
        put(0, number);
        put(1, new Cell(QString::fromStdString(mode_of(run))));
        for (std::size_t k = 0; k < shown.size(); ++k) {
            const std::size_t c = shown[k];
            auto* cell = new Cell(QString::fromStdString(metric_text(columns[c], values[r][c])));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (values[r][c]) cell->setData(kNumberRole, *values[r][c]);
            if (best[r][c]) {
                cell->setFont(bold);
                cell->setBackground(kBestBackground);
                cell->setToolTip("Best of the kept runs in this mode");
            }
            put(static_cast<int>(k) + 2, cell);
        }
    }
    table_->setSortingEnabled(true);
    table_->resizeColumnsToContents();
    fit_to_font();
    const int chosen = runs_.selected();
    table_->clearSelection();
    for (int row = 0; chosen >= 0 && row < table_->rowCount(); ++row) {
        if (table_->item(row, 0)->data(kRunRole).toInt() == runs_.kept()[static_cast<std::size_t>(chosen)].number) {
            table_->selectRow(row);
        }
    }
    place_run_column();
    filling_ = false;
}
