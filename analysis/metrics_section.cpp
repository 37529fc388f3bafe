#include "analysis/metrics_section.h"

#include "analysis/run_record.h"
#include "core/csv.h"
#include "core/metrics_format.h"

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
    // first metric on (the mode and gains before it are the run's own).
    const int shown = static_cast<int>(METRICS_CELL_COLUMNS.size() - METRICS_FIRST_METRIC);
    const int rows = (shown + 1) / 2;
    for (int i = 0; i < shown; ++i) {
        auto* value = new QLabel(this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const std::string_view name = METRICS_CELL_COLUMNS[METRICS_FIRST_METRIC + static_cast<std::size_t>(i)];
        grid->addWidget(new QLabel(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), this), i % rows,
                        2 * (i / rows));
        grid->addWidget(value, i % rows, 2 * (i / rows) + 1);
        values_.push_back(value);
    }
    auto* copy = new QPushButton("Copy metrics", this);
    if (shown % 2 == 1) {
        grid->addWidget(copy, rows - 1, 2, 1, 2, Qt::AlignLeft);  // in the free cell
    } else {
        grid->addWidget(copy, rows, 0, 1, 4, Qt::AlignLeft);
    }
    switchNote_ = new QLabel(this);
    switchNote_->setWordWrap(true);
    switchNote_->hide();
    grid->addWidget(switchNote_, rows + 1, 0, 1, 4);
    connect(copy, &QPushButton::clicked, this, [this] {
        if (!record_.known()) return;
        QGuiApplication::clipboard()->setText(QString::fromStdString(csv_row()));
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
    const MetricsCells cells = record_.known() ? metrics_cells(record_.start().gains, record_.metrics()) : MetricsCells{};
    std::string text;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const std::optional<double>& cell = cells[METRICS_FIRST_METRIC + i];
        text.clear();
        if (cell) csv_append_number(text, *cell);  // as the row writes it
        values_[i]->setText(cell ? QString::fromStdString(text) : QString("-"));
    }
    const auto& switches = record_.switches();
    switchNote_->setVisible(!switches.empty());
    if (!switches.empty()) {
        switchNote_->setText(QString("The run went to %1 mode at %2 ms: these figures cover the passes before.")
                                 .arg(switches.front().speedMode ? "speed" : "position")
                                 .arg(switches.front().runTime));
    }
}

QString MetricsSection::switch_note() const { return switchNote_->isHidden() ? QString() : switchNote_->text(); }
