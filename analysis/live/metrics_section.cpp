#include "analysis/live/metrics_section.h"

#include "analysis/live/run_record.h"
#include "analysis/live/steady_label.h"
#include "core/formats/metrics_format.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QString>

MetricsSection::MetricsSection(RunFeed& feed, const RunRecord& record, QWidget* parent)
    : QWidget(parent), feed_(feed), record_(record) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(0);
    // Two columns of name and value pairs, in the header's order, from the
    // first metric on (the gains before it are the run's own).
    const auto columns = metric_table();
    const int shown = static_cast<int>(columns.size() - METRIC_FIRST);
    const int rows = (shown + 1) / 2;
    // Wide enough for the values of a run, so that a column does not shift
    // as they change; a wider one is rare (the IAE of a long run) and only
    // widens its column.
    const int valueWidth = fontMetrics().horizontalAdvance("-99999.999");
    for (int i = 0; i < shown; ++i) {
        const MetricColumn& column = columns[METRIC_FIRST + static_cast<std::size_t>(i)];
        auto* value = new QLabel(this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(valueWidth);
        // The label alone keeps two columns within the panel; the unit is in the tooltip.
        auto* name = new QLabel(QString::fromUtf8(column.label.data(), static_cast<qsizetype>(column.label.size())), this);
        name->setToolTip(QString::fromStdString(metric_description(column)));
        grid->addWidget(name, i % rows, 2 * (i / rows));
        grid->addWidget(value, i % rows, 2 * (i / rows) + 1);
        values_.push_back(value);
    }
    auto* copy = new QPushButton("Copy metrics", this);
    if (shown % 2 == 1) {
        grid->addWidget(copy, rows - 1, 2, 1, 2, Qt::AlignLeft);  // in the free cell
    } else {
        grid->addWidget(copy, rows, 0, 1, 4, Qt::AlignLeft);
    }
    copyNote_ = new QLabel(this);
    grid->addWidget(copyNote_, rows + 1, 0, 1, 4);
    // Room for the note from the start: a mode switch mid-run moves nothing below.
    switchNote_ = new SteadyLabel(2, this);
    grid->addWidget(switchNote_, rows + 2, 0, 1, 4);
    connect(copy, &QPushButton::clicked, this, [this] {
        if (!record_.known()) {
            copyNote_->setText("Nothing to copy: no run yet.");
            return;
        }
        QGuiApplication::clipboard()->setText(QString::fromStdString(metrics_csv_header() + csv_row()));
        copyNote_->setText("Copied the header and the row as CSV.");
    });

    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo&) { refresh(); };
    listener.onPass = [this](const RunPassInfo&) { refresh(); };
    subscription_ = feed_.subscribe(std::move(listener));
    refresh();
}

MetricsSection::~MetricsSection() { feed_.unsubscribe(subscription_); }

std::string MetricsSection::csv_row() const { return record_.known() ? record_.csv_row() : std::string(); }

void MetricsSection::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

// Labels change only while they can be seen: a hidden panel costs the run nothing.
void MetricsSection::refresh() {
    if (!isVisible()) return;
    const auto columns = metric_table();
    MetricsCells values{};
    if (record_.known()) values = metrics_cells(record_.start().gains, record_.metrics());
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const std::size_t c = METRIC_FIRST + i;
        values_[i]->setText(QString::fromStdString(metric_text(columns[c], values[c])));
    }
    const auto& switches = record_.switches();
    if (switches.empty()) {
        switchNote_->clear();
    } else {
        switchNote_->setText(QString("The run went to %1 mode at %2 ms: these figures cover the passes before.")
                                 .arg(switches.front().speedMode ? "speed" : "position")
                                 .arg(switches.front().runTime));
    }
}

QString MetricsSection::value_text(std::string_view column) const {
    const auto columns = metric_table();
    for (std::size_t i = 0; i < values_.size(); ++i) {
        if (columns[METRIC_FIRST + i].name == column) return values_[i]->text();
    }
    return {};
}

QString MetricsSection::copy_note() const { return copyNote_->text(); }

QString MetricsSection::switch_note() const { return switchNote_->text(); }
