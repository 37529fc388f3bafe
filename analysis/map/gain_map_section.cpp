#include "analysis/map/gain_map_section.h"

#include "analysis/live/edit_changes.h"
#include "analysis/live/gain_edits.h"
#include "analysis/live/steady_label.h"
#include "analysis/map/gain_map_sweep.h"
#include "analysis/map/gain_map_view.h"
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
#include <QCoreApplication>
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
      edits_(edits),
      program_(QCoreApplication::applicationDirPath() + "/vantrel-trace"),
      sweep_(std::make_unique<GainMapSweep>(this)) {
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
    follow_->setToolTip("A new map around the gains shortly after each change of an edit, the mode or the axes");
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
    followTimer_->setInterval(150);
    connect(followTimer_, &QTimer::timeout, this, [this] { follow_now(); });
    connect(savePng, &QPushButton::clicked, this, [this] { save_png(); });
    connect(saveCsv, &QPushButton::clicked, this, [this] { save_csv(); });
    view_->onCellClicked = [this](int ix, int iy) { fill_edits(ix, iy); };
    view_->onShowWraps = [this](bool on) {
        if (on && !madeFrom_.isEmpty() && !madeFrom_.contains("--wraps")) make_map(true);  // fetch the flags
    };
    view_->describeCell = [this](int ix, int iy) { return describe(ix, iy); };
    sweep_->onLine = [this](const std::string& line) { take_line(line); };
    sweep_->onEnd = [this](const QString& failure) { sweep_ended(failure); };

    // The cross follows the edits, and so does the map when asked to.
    subscription_ = edits_.subscribe([this] {
        if (host_.gains->pending_decimal()) return;  // "25" of "2.5": not yet a gain to show
        follow_edits();
        schedule_follow(true);
    });
}

GainMapSection::~GainMapSection() {
    edits_.unsubscribe(subscription_);
    sweep_.reset();  // stops a running sweep before the widgets go
}

bool GainMapSection::sweeping() const { return sweep_->running(); }

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

void GainMapSection::set_follow_delay(int ms) { followTimer_->setInterval(ms); }

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
    const bool speedMode = host_.speedMode->Checked();
    QStringList args{"sweep", "--mode", speedMode ? "speed" : "position"};
    QString shows;
    if (speedMode) {
        args << "--passes" << QString::number(passes_->value());
        shows = QString("Speed mode, %1 passes each").arg(passes_->value());
    } else if (nc_demo_chosen()) {
        shows = "Position mode, the built-in program";
    } else {
        const NcProgram& program = nc_chosen_program();
        args << "--program" << QString::fromStdString(program.path);
        shows = "Position mode, " + QString::fromStdString(program.name);
    }
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) {
        args << "--" + QString::fromUtf8(GAIN_SET_KEYS[g].data(), static_cast<qsizetype>(GAIN_SET_KEYS[g].size()))
             << QString::fromStdString(gain_range_text(model.grid().ranges[g]));
    }
    // Wrap flags cost a scalar run per set (about 4 times the sweep's CPU): only while shown.
    if (view_->show_wraps()) args << "--wraps";
    if (follows && args == madeFrom_) return;  // that map is shown or on its way

    model_ = std::move(model);
    madeFrom_ = args;
    headerRead_ = false;
    cancelled_ = false;
    // A map that follows the edits keeps the last one's colours; a new one fits its own.
    if (follows) view_->hold_scale();
    else view_->fit_scale();
    reset_view();
    follow_edits();
    shows_->setText(shows);

    progress_->setRange(0, static_cast<int>(model_.total()));
    progress_->setTextVisible(true);
    progress_->setValue(0);
    swap_buttons(sweepButton_, cancel_);
    set_status(QString("Sweeping %1 gain sets (%2 mode)…").arg(model_.total()).arg(speedMode ? "speed" : "position"));
    // About 2 x 10^7 passes take the lanes some tens of milliseconds: below
    // that the sweep needs no lower priority, and gets done however busy the
    // machine is, in one process (the same rows).
    const double passes = static_cast<double>(model_.total()) * (speedMode ? passes_->value() : 200.0);
    const bool lengthy = passes > 2e7;
    if (!lengthy) args << "--jobs" << "1";
    sweep_->start(program_, args, lengthy);  // drops a sweep still running
}

void GainMapSection::cancel_sweep() {
    if (!sweeping()) return;
    cancelled_ = true;
    sweep_->cancel();
}

void GainMapSection::take_line(const std::string& line) {
    if (cancelled_) return;  // a cancelled map keeps what it had at the click
    if (!headerRead_) {
        model_.take_header(line);
        headerRead_ = true;
        return;
    }
    if (const std::optional<GainMapCell> cell = model_.take_row(line)) {
        const MetricColumn& metric = colour_metric(metric_);
        view_->set_cell(cell->ix, cell->iy, metric_counted(metric, model_.value(line, metric.name)));
        if (const std::optional<double> wraps = model_.value(line, METRICS_WRAPS_COLUMN)) {
            view_->set_cell_wraps(cell->ix, cell->iy, *wraps != 0);
        }
    }
    // The bar repaints itself at once whenever its text changes: a few times a sweep, not per row.
    const std::size_t rows = model_.rows().size();
    if (rows % 2048 == 0 || rows == model_.total()) progress_->setValue(static_cast<int>(rows));
}

void GainMapSection::sweep_ended(const QString& failure) {
    swap_buttons(cancel_, sweepButton_);
    const std::size_t rows = model_.rows().size();
    if (cancelled_) {
        madeFrom_.clear();
        set_status(QString("Cancelled after %1 of %2 gain sets.").arg(rows).arg(model_.total()));
    } else if (!failure.isEmpty() || rows != model_.total()) {
        madeFrom_.clear();
        set_status(failure.isEmpty() ? QString("The sweep ended after %1 of %2 gain sets.").arg(rows).arg(model_.total())
                                     : failure,
                   true);
    } else {
        set_status(QString("%1 gain sets in %2 s%3. Click a cell to fill the edits.")
                       .arg(model_.total())
                       .arg(QString::number(sweep_->seconds(), 'f', 2))
                       .arg(view_->scale_held() ? ", colours as before (Rescale fits them to this map)" : ""));
    }
    if (onSweepEnded) onSweepEnded();
}

void GainMapSection::reset_view() {
    const GainRange& xr = model_.grid().ranges[model_.x_gain()];
    const GainRange& yr = model_.grid().ranges[model_.y_gain()];
    view_->reset({text_of(gain_map_gain_name(model_.x_gain())), xr.from, xr.step, model_.columns_across()},
                 {text_of(gain_map_gain_name(model_.y_gain())), yr.from, yr.step, model_.rows_up()}, metric_->currentText());
}

void GainMapSection::recolour() {
    if (model_.empty()) return;
    view_->fit_scale();  // another metric, another scale
    reset_view();
    const MetricColumn& metric = colour_metric(metric_);
    for (const std::string& row : model_.take_rows()) {
        if (const std::optional<GainMapCell> cell = model_.take_row(row)) {
            view_->set_cell(cell->ix, cell->iy, metric_counted(metric, model_.value(row, metric.name)));
        }
    }
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
    for (const auto& [name, value] : cells) {
        const MetricColumn* column = metric_column_named(name);
        text += QString("\n%1: %2").arg(column ? QString::fromStdString(metric_caption(*column)) : QString::fromStdString(name),
                                        value.empty() ? "—" : QString::fromStdString(value));
    }
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
