#include "analysis/map/gain_map_section.h"

#include "analysis/live/edit_changes.h"
#include "analysis/live/gain_edits.h"
#include "analysis/live/steady_label.h"
#include "analysis/map/gain_map_view.h"
#include "core/batch/gain_batch.h"
#include "core/formats/metrics_format.h"
#include "core/measure/gain_set.h"
#include "core/program/nc_program.h"
#include "toolkit/app/exception.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"
#include "toolkit/sys/dialogs.h"
#include "toolkit/sys/files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>

#include <utility>

namespace {

QString text_of(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The column the map colours by.
const MetricColumn& colour_metric(const QComboBox* box) {
    return metric_column(GAIN_MAP_METRICS[static_cast<std::size_t>(box->currentIndex())]);
}

}  // namespace

GainMapSection::GainMapSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent)
    : QWidget(parent),
      host_(host),
      edits_(edits) {
    setObjectName("gainMap");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);

    // The controls above the map in five rows, so that at the window's
    // designed height they and the map show together (fit_height).
    auto axis_row = [&](int row, const char* caption, int gain, const char* range, QComboBox*& combo, QLineEdit*& edit) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        combo = new QComboBox(this);
        for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) combo->addItem(text_of(gain_map_gain_name(g)), text_of(GAIN_SET_KEYS[g]));
        combo->setCurrentIndex(gain);
        grid->addWidget(combo, row, 1);
        edit = new QLineEdit(range, this);
        edit->setToolTip("FROM:TO (step 1), FROM:TO:STEP, or a single value");
        grid->addWidget(edit, row, 2, 1, 2);
    };
    axis_row(0, "X axis", SWEEP_KP, "0:600:20", xGain_, xRange_);
    axis_row(1, "Y axis", SWEEP_KI, "0:300:10", yGain_, yRange_);
    xGain_->setObjectName("xGain");
    yGain_->setObjectName("yGain");
    xRange_->setObjectName("xRange");
    yRange_->setObjectName("yRange");

    grid->addWidget(new QLabel("Colour", this), 2, 0);
    metric_ = new QComboBox(this);
    metric_->setObjectName("metric");
    for (const Metric id : GAIN_MAP_METRICS) {
        const MetricColumn& column = metric_column(id);
        metric_->addItem(QString::fromStdString(metric_caption(column, true)), text_of(column.name));
        metric_->setItemData(metric_->count() - 1, QString::fromStdString(metric_description(column)), Qt::ToolTipRole);
    }
    metric_->setCurrentIndex(2);
    grid->addWidget(metric_, 2, 1, 1, 2);
    rescale_ = new QPushButton("Rescale", this);
    rescale_->setObjectName("rescale");
    rescale_->setToolTip("Fit the colour scale to the map shown; maps made while following the edits keep it");
    grid->addWidget(rescale_, 2, 3);

    grid->addWidget(new QLabel("Passes", this), 3, 0);
    passes_ = new QSpinBox(this);
    passes_->setRange(1, 1'000'000);
    passes_->setValue(500);
    passes_->setToolTip("Passes of each speed-mode run (position runs go to the program's end)");
    grid->addWidget(passes_, 3, 1);
    sweepButton_ = new QPushButton("Sweep", this);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setEnabled(false);
    grid->addWidget(sweepButton_, 3, 2);
    grid->addWidget(cancel_, 3, 3);
    follow_ = new QCheckBox("Follow the edits", this);
    follow_->setObjectName("follow");
    follow_->setToolTip("A new map around the gains at each change of an edit, the mode, the program or the axes");
    follow_->setChecked(true);
    grid->addWidget(follow_, 4, 0, 1, 2);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat("%v / %m");
    progress_->setTextVisible(false);  // until a sweep starts
    grid->addWidget(progress_, 4, 2, 1, 2);

    shows_ = new SteadyLabel(1, this);
    grid->addWidget(shows_, 5, 0, 1, 4);
    view_ = new GainMapView(this);
    grid->addWidget(view_, kViewRow, 0, 1, 4);
    status_ = new SteadyLabel(3, "Choose two gains and their ranges, then Sweep. Click a cell to fill the edits.", this);
    grid->addWidget(status_, kViewRow + 1, 0, 1, 4);

    auto* savePng = new QPushButton("Save PNG…", this);
    auto* saveCsv = new QPushButton("Save CSV…", this);
    grid->addWidget(savePng, kViewRow + 2, 0, 1, 2);
    grid->addWidget(saveCsv, kViewRow + 2, 2, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);

    connect(sweepButton_, &QPushButton::clicked, this, [this] { start_sweep(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel_sweep(); });
    connect(metric_, &QComboBox::currentIndexChanged, this, [this] { recolour(); });
    connect(rescale_, &QPushButton::clicked, this, [this] {
        view_->fit_scale();
        if (!sweeping() && !model_.empty()) set_status("Colours fitted to this map; maps that follow the edits keep them.");
    });
    // The section's own controls, as the user changes them: the ranges as typed.
    for (QComboBox* axis : {xGain_, yGain_}) {
        connect(axis, &QComboBox::activated, this, [this] { schedule_follow(false); });
    }
    for (QLineEdit* range : {xRange_, yRange_}) {
        connect(range, &QLineEdit::textEdited, this, [this] { schedule_follow(false); });
    }
    connect(passes_, &QSpinBox::valueChanged, this, [this] { schedule_follow(false); });
    connect(follow_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) schedule_follow(true);
        else followTimer_->stop();
    });
    followTimer_ = new QTimer(this);
    followTimer_->setSingleShot(true);
    followTimer_->setInterval(0);  // changes made together (a handler's, a load's) make one map
    connect(followTimer_, &QTimer::timeout, this, [this] { follow_now(); });
    connect(savePng, &QPushButton::clicked, this, [this] { save_png(); });
    connect(saveCsv, &QPushButton::clicked, this, [this] { save_csv(); });
    view_->onCellClicked = [this](int ix, int iy) { fill_edits(ix, iy); };
    view_->describeCell = [this](int ix, int iy) { return describe(ix, iy); };

    // The cross follows the edits, and so does the map when asked to.
    subscription_ = edits_.subscribe([this] {
        if (host_.gains->pending_decimal()) return;  // "25" of "2.5": not yet a gain to show
        follow_edits();
        schedule_follow(true);
    });
}

GainMapSection::~GainMapSection() { edits_.unsubscribe(subscription_); }

bool GainMapSection::sweeping() const { return job_.running(); }

bool GainMapSection::Request::operator==(const Request& o) const {
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) {
        const GainRange &a = grid.ranges[g], &b = o.grid.ranges[g];
        if (a.from != b.from || a.to != b.to || a.step != b.step) return false;
    }
    return x == o.x && y == o.y && speedMode == o.speedMode && (!speedMode || passes == o.passes) &&
           (speedMode || program == o.program);
}

// The map takes what the panel's height leaves beside the controls above
// it, from the section's top: scrolled to its title, the controls and the
// whole map show together. Never less than kLeastMapHeight, nor much taller
// than wide.
void GainMapSection::fit_height(int viewport) {
    viewport_ = viewport;
    auto* grid = static_cast<QGridLayout*>(layout());
    int above = 0;
    for (int row = 0; row < kViewRow; ++row) {
        int tallest = 0;
        for (int column = 0; column < grid->columnCount(); ++column) {
            if (QLayoutItem* item = grid->itemAtPosition(row, column); item && item->widget()) {
                const QWidget* w = item->widget();
                tallest = std::max(tallest, w->hasHeightForWidth() ? w->heightForWidth(width()) : w->sizeHint().height());
            }
        }
        above += tallest + grid->verticalSpacing();
    }
    // The section's place in its titled box: the title and the box's margins.
    const QWidget* box = parentWidget();
    above += box ? mapTo(box, QPoint(0, 0)).y() : 0;
    const int room = viewport - above - grid->verticalSpacing() - 4;
    view_->set_preferred_height(std::clamp(room, kLeastMapHeight, std::max(kLeastMapHeight, width() + 40)));
}

void GainMapSection::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && viewport_ > 0) fit_height(viewport_);
}

void GainMapSection::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (viewport_ > 0 && event->size().width() != event->oldSize().width()) fit_height(viewport_);
}

QString GainMapSection::status_text() const { return status_->text(); }

QString GainMapSection::shows_text() const { return shows_->text(); }

void GainMapSection::set_status(const QString& text, bool error) {
    status_->setText(text);
    status_->setStyleSheet(error ? "color: #b00000" : "");
}

RegulationGains GainMapSection::edit_gains() const { return host_.gains->run_gains(); }

void GainMapSection::start_sweep() {
    if (!sweeping()) make_map(false);
}

void GainMapSection::program_chosen() { schedule_follow(false); }

void GainMapSection::schedule_follow(bool recentre) {
    if (!follow_->isChecked()) return;
    recentre_ = recentre_ || recentre;
    followTimer_->start();  // again from the start at every change
}

void GainMapSection::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (std::exchange(stale_, false)) followTimer_->start();
}

void GainMapSection::follow_now() {
    // A decimal point waits in an edit: the text is half typed ("25" of
    // "2.5"); leaving the edit reads it and tells the change again.
    if (host_.gains->pending_decimal()) return;
    if (!isVisible()) {
        stale_ = true;  // made when the section shows again
        return;
    }
    if (std::exchange(recentre_, false)) {
        // Both ranges moved to the edits' gains, where they read.
        const RegulationGains gains = edit_gains();
        for (const auto& [combo, edit] : {std::pair{xGain_, xRange_}, std::pair{yGain_, yRange_}}) {
            GainRange range;
            std::string why;
            if (!parse_gain_range(edit->text().trimmed().toStdString(), range, why)) continue;
            const auto gain = static_cast<std::size_t>(combo->currentIndex());
            edit->setText(QString::fromStdString(gain_range_text(gain_range_around(range, run_gain(gains, gain)))));
        }
    }
    make_map(true);
}

void GainMapSection::make_map(bool follows) {
    GainMapModel model;
    std::string error;
    if (!model.reset(edit_gains(), static_cast<std::size_t>(xGain_->currentIndex()), xRange_->text().trimmed().toStdString(),
                     static_cast<std::size_t>(yGain_->currentIndex()), yRange_->text().trimmed().toStdString(), error)) {
        set_status(QString::fromStdString(error), true);
        return;
    }

    // The run the window would make: its mode, and in position mode its program.
    Request request{model.grid(), model.x_gain(), model.y_gain(), host_.speedMode->Checked(), passes_->value(), nullptr};
    QString shows;
    if (request.speedMode) {
        shows = QString("Speed mode, %1 passes each").arg(request.passes);
    } else if (nc_demo_chosen()) {
        shows = "Position mode, the built-in program";
    } else {
        request.program = nc_chosen_blocks();
        shows = "Position mode, " + QString::fromStdString(nc_chosen_program().name);
    }
    if (follows && madeFrom_ == request) return;  // that map is shown or on its way

    // A map that follows the edits keeps the last one's colours, unless the
    // mode changed; a new one fits its own.
    const bool modeSwitched = shownMode_ && *shownMode_ != request.speedMode;
    if (follows && !modeSwitched) view_->hold_scale();
    else view_->fit_scale();
    shownMode_ = request.speedMode;
    model_ = std::move(model);
    madeFrom_ = request;
    cancelled_ = false;
    reset_view(follows);
    follow_edits();
    shows_->setText(shows);

    progress_->setRange(0, static_cast<int>(model_.total()));
    progress_->setTextVisible(true);
    progress_->setValue(0);
    swap_buttons(sweepButton_, cancel_);
    set_status(QString("Sweeping %1 gain sets (%2 mode)…").arg(model_.total()).arg(request.speedMode ? "speed" : "position"));
    // About 2 x 10^7 passes take the lanes some tens of milliseconds: below
    // that the map needs no lower priority, and gets done however busy the
    // machine is.
    const double passes = static_cast<double>(model_.total()) * (request.speedMode ? request.passes : 200.0);
    const std::int64_t passLimit = request.speedMode ? request.passes : METRICS_NO_PASS_LIMIT;
    job_.start(
        [this, request, passLimit, total = model_.total()](BackgroundJob::Context& context) {
            // The sweep's runs, as `vantrel-trace sweep` makes them, on every core.
            const GainBatchPlan plan = plan_gain_batch(request.speedMode, passLimit, BatchEngine::Auto, request.program);
            std::vector<RegulationGains> sets(total);
            for (std::uint64_t i = 0; i < total; ++i) sets[i] = sweep_gains_at(request.grid, i);
            measure_gain_sets(
                plan, sets, runner_hardware_threads(), true,
                [&](std::size_t first, std::span<const RunMetrics> results, std::span<const std::uint8_t> wraps) {
                    context.post([this, first, results = std::vector(results.begin(), results.end()),
                                  wraps = std::vector(wraps.begin(), wraps.end())] { take_chunk(first, results, wraps); });
                },
                context.stop());
        },
        passes > 2e7, [this](const std::string& failure) { sweep_ended(failure); });
}

void GainMapSection::cancel_sweep() {
    if (!sweeping()) return;
    cancelled_ = true;
    job_.cancel();  // nothing more of it comes: the map keeps what it had at the click
    sweep_ended("");
}

void GainMapSection::take_chunk(std::uint64_t first, const std::vector<RunMetrics>& results,
                                const std::vector<std::uint8_t>& wraps) {
    model_.take(first, results, wraps);
    const std::uint64_t measured = model_.measured();
    if (measured <= first) return;
    show_cells(first, measured - first);
    // The bar repaints itself at once whenever its text changes: a few times a map, not per chunk.
    if (measured % 2048 < results.size() || measured == model_.total()) progress_->setValue(static_cast<int>(measured));
}

void GainMapSection::show_cells(std::uint64_t first, std::uint64_t count) {
    const MetricColumn& metric = colour_metric(metric_);
    std::vector<GainMapView::Cell> cells(count);
    for (std::uint64_t i = first; i < first + count; ++i) {
        const GainMapCell cell = model_.cell_of(i);
        cells[i - first] = {cell.ix, cell.iy, model_.value(i, metric), model_.wraps(i)};
    }
    view_->set_cells(cells);
}

void GainMapSection::sweep_ended(const std::string& failure) {
    seconds_ = job_.seconds();
    swap_buttons(cancel_, sweepButton_);
    const std::uint64_t measured = model_.measured();
    if (measured != model_.total()) view_->drop_kept_picture();  // what was not run shows so
    if (cancelled_) {
        madeFrom_.reset();
        set_status(QString("Cancelled after %1 of %2 gain sets.").arg(measured).arg(model_.total()));
    } else if (!failure.empty() || measured != model_.total()) {
        madeFrom_.reset();
        set_status(failure.empty() ? QString("The sweep ended after %1 of %2 gain sets.").arg(measured).arg(model_.total())
                                   : "The sweep failed: " + QString::fromStdString(failure),
                   true);
    } else {
        set_status(QString("%1 gain sets in %2 s%3. Click a cell to fill the edits.")
                       .arg(model_.total())
                       .arg(QString::number(seconds_, 'f', 3))
                       .arg(view_->scale_held() ? ", colours as before (Rescale fits them to this map)" : ""));
    }
    if (onSweepEnded) onSweepEnded();
}

void GainMapSection::reset_view(bool keepPicture) {
    const GainRange& xr = model_.grid().ranges[model_.x_gain()];
    const GainRange& yr = model_.grid().ranges[model_.y_gain()];
    view_->reset({text_of(gain_map_gain_name(model_.x_gain())), xr.from, xr.step, model_.columns_across()},
                 {text_of(gain_map_gain_name(model_.y_gain())), yr.from, yr.step, model_.rows_up()}, metric_->currentText(),
                 keepPicture);
}

// Another metric, another scale; the wrap outlines stay.
void GainMapSection::recolour() {
    if (model_.empty()) return;
    view_->fit_scale();
    reset_view(false);
    show_cells(0, model_.measured());
}

void GainMapSection::fill_edits(int ix, int iy) {
    const RegulationGains g = model_.gains_at({ix, iy});
    host_.gains->apply(g, SWEEP_GAIN_COUNT, "map cell");
    set_status(QString("Edits filled: Kp %1 Ki %2 Kd %3 Kv %4 W %5.").arg(g.kp).arg(g.ki).arg(g.kd).arg(g.kv).arg(g.w));
}

QString GainMapSection::describe(int ix, int iy) const {
    const RegulationGains g = model_.gains_at({ix, iy});
    const std::size_t x = model_.x_gain(), y = model_.y_gain();
    QString text = QString("%1 %2, %3 %4")
                       .arg(text_of(gain_map_gain_name(x)))
                       .arg(run_gain(g, x))
                       .arg(text_of(gain_map_gain_name(y)))
                       .arg(run_gain(g, y));
    const auto cells = model_.cells_of({ix, iy});
    if (cells.empty()) return text + "\n(not run yet)";
    for (const auto& [caption, value] : cells) text += "\n" + QString::fromStdString(caption + ": " + value);
    return text;
}

void GainMapSection::follow_edits() {
    if (model_.empty()) return;
    const RegulationGains g = edit_gains();
    view_->set_cross(QPointF(run_gain(g, model_.x_gain()), run_gain(g, model_.y_gain())));
}

void GainMapSection::save_png() {
    const std::string path = PromptSaveFileName("Save gain map", "PNG images (*.png)", "gain-map.png");
    if (path.empty()) return;
    try {
        SavePngFile(*view_, path);
        set_status("Saved " + QString::fromStdString(path));
    } catch (const Exception& e) {
        set_status(QString::fromStdString(e.Message()), true);
    }
}

void GainMapSection::save_csv() {
    const std::string path = PromptSaveFileName("Save gain map table", "CSV files (*.csv)", "gain-map.csv");
    if (path.empty()) return;
    try {
        SaveTextFile(path, table());
        set_status("Saved " + QString::fromStdString(path));
    } catch (const Exception& e) {
        set_status(QString::fromStdString(e.Message()), true);
    }
}
