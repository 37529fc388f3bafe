#include "analysis/gain_map_section.h"

#include "analysis/edit_changes.h"
#include "analysis/gain_map_view.h"
#include "core/int16.h"
#include "toolkit/app/exception.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"
#include "toolkit/sys/dialogs.h"
#include "toolkit/sys/files.h"
#include "toolkit/sys/sysutils.h"

#include <unistd.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>

#include <cmath>
#include <sstream>

namespace {

const char* const kGainNames[SWEEP_GAIN_COUNT] = {"Kp", "Ki", "Kd", "Kv", "W"};
const char* const kGainOptions[SWEEP_GAIN_COUNT] = {"--kp", "--ki", "--kd", "--kv", "--w"};

struct Metric {
    const char* caption;
    const char* column;
    bool magnitude;  // coloured by the absolute value
};
const Metric kMetrics[] = {
    {"Settling time (ms)", "settling_ms", false},
    {"Overshoot (%)", "overshoot_pct", false},
    {"IAE (count ms)", "iae", false},
    {"|Final following error|", "final_error", true},
    {"|Max following error|", "max_following_error", true},
};

std::vector<std::string> split_cells(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(row);
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    if (!row.empty() && row.back() == ',') cells.emplace_back();
    return cells;
}

std::int16_t gain_of(const RegulationGains& g, std::size_t which) {
    const std::int16_t values[SWEEP_GAIN_COUNT] = {g.kp, g.ki, g.kd, g.kv, g.w};
    return values[which];
}

}  // namespace

GainMapSection::GainMapSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent)
    : QWidget(parent), host_(host), edits_(edits), program_(QCoreApplication::applicationDirPath() + "/vantrel-trace") {
    setObjectName("gainMap");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);

    auto axis_row = [&](int row, const char* caption, int gain, const char* range, QComboBox*& combo, QLineEdit*& edit) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        combo = new QComboBox(this);
        for (const char* name : kGainNames) combo->addItem(name);
        combo->setCurrentIndex(gain);
        grid->addWidget(combo, row, 1);
        edit = new QLineEdit(range, this);
        edit->setToolTip("FROM:TO:STEP, or a single value");
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
    for (const Metric& m : kMetrics) metric_->addItem(m.caption);
    metric_->setCurrentIndex(2);
    grid->addWidget(metric_, 2, 1, 1, 3);

    grid->addWidget(new QLabel("Passes", this), 3, 0);
    passes_ = new QSpinBox(this);
    passes_->setRange(1, 1'000'000);
    passes_->setValue(500);
    passes_->setToolTip("Passes of each speed-mode run (position runs go to the program's end)");
    grid->addWidget(passes_, 3, 1);
    sweep_ = new QPushButton("Sweep", this);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setEnabled(false);
    grid->addWidget(sweep_, 3, 2);
    grid->addWidget(cancel_, 3, 3);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat("%v / %m");
    progress_->setTextVisible(false);  // until a sweep starts
    grid->addWidget(progress_, 4, 0, 1, 4);

    view_ = new GainMapView(this);
    grid->addWidget(view_, 5, 0, 1, 4);
    status_ = new QLabel("Choose two gains and their ranges, then Sweep. Click a cell to fill the edits.", this);
    status_->setWordWrap(true);
    grid->addWidget(status_, 6, 0, 1, 4);

    savePng_ = new QPushButton("Save PNG…", this);
    saveCsv_ = new QPushButton("Save CSV…", this);
    grid->addWidget(savePng_, 7, 0, 1, 2);
    grid->addWidget(saveCsv_, 7, 2, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);

    connect(sweep_, &QPushButton::clicked, this, [this] { start_sweep(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel_sweep(); });
    connect(metric_, &QComboBox::currentIndexChanged, this, [this] { recolour(); });
    connect(savePng_, &QPushButton::clicked, this, [this] { save_png(); });
    connect(saveCsv_, &QPushButton::clicked, this, [this] { save_csv(); });
    view_->onCellClicked = [this](int ix, int iy) { fill_edits(ix, iy); };
    view_->describeCell = [this](int ix, int iy) { return describe(ix, iy); };

    // The cross follows the edits.
    subscription_ = edits_.subscribe([this] { follow_edits(); });
}

GainMapSection::~GainMapSection() {
    edits_.unsubscribe(subscription_);
    if (sweeping()) {
        process_->disconnect();
        process_->terminate();  // the sweep stops cleanly on SIGTERM
        if (!process_->waitForFinished(2000)) process_->kill();
    }
}

bool GainMapSection::sweeping() const { return process_ && process_->state() != QProcess::NotRunning; }

QString GainMapSection::status_text() const { return status_->text(); }

void GainMapSection::set_status(const QString& text, bool error) {
    status_->setText(text);
    status_->setStyleSheet(error ? "color: #b00000" : "");
}

RegulationGains GainMapSection::edit_gains() const {
    // As the window reads its edits at a run's start: not a number is 0, then the low 16 bits.
    auto read = [](const TLabeledEdit* edit) { return wrap16(ParseIntDefault(edit->Text(), 0)); };
    return {read(host_.kp), read(host_.ki), read(host_.kd), read(host_.kv), read(host_.w)};
}

void GainMapSection::start_sweep() {
    if (sweeping()) return;
    const auto x = static_cast<std::size_t>(xGain_->currentIndex());
    const auto y = static_cast<std::size_t>(yGain_->currentIndex());
    if (x == y) {
        set_status("The two axes need two different gains.", true);
        return;
    }
    const RegulationGains edits = edit_gains();
    SweepGrid grid;
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) grid.ranges[g] = {gain_of(edits, g), gain_of(edits, g), 1};
    for (const auto& [gain, edit] : {std::pair{x, xRange_}, std::pair{y, yRange_}}) {
        std::string error;
        if (!parse_gain_range(edit->text().trimmed().toStdString(), grid.ranges[gain], error)) {
            set_status(QString("%1 range '%2': %3").arg(kGainNames[gain], edit->text(), QString::fromStdString(error)), true);
            return;
        }
    }
    const std::int64_t nx = gain_range_size(grid.ranges[x]), ny = gain_range_size(grid.ranges[y]);
    if (nx * ny > kMostCells) {
        set_status(QString("%1 x %2 cells is more than the %3 one map takes.").arg(nx).arg(ny).arg(kMostCells), true);
        return;
    }

    grid_ = grid;
    xAxis_ = x;
    yAxis_ = y;
    nx_ = static_cast<int>(nx);
    ny_ = static_cast<int>(ny);
    total_ = static_cast<std::uint64_t>(nx * ny);
    rows_.clear();
    rows_.reserve(total_);
    header_.clear();
    columns_.clear();
    pending_.clear();
    cancelled_ = false;
    view_->reset({kGainNames[x], grid.ranges[x].from, grid.ranges[x].step, nx_},
                 {kGainNames[y], grid.ranges[y].from, grid.ranges[y].step, ny_}, metric_->currentText());
    follow_edits();

    const bool speedMode = host_.speedMode->Checked();
    QStringList args{"sweep", "--mode", speedMode ? "speed" : "position"};
    if (speedMode) args << "--passes" << QString::number(passes_->value());
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) {
        const GainRange& r = grid.ranges[g];
        args << kGainOptions[g]
             << (r.from == r.to ? QString::number(r.from) : QString("%1:%2:%3").arg(r.from).arg(r.to).arg(r.step));
    }

    delete process_;
    process_ = new QProcess(this);
    process_->setProgram(program_);
    process_->setArguments(args);
    // Below the window's priority, so the window and a running regulation keep their pace.
    process_->setChildProcessModifier([] { static_cast<void>(::nice(10)); });
    connect(process_, &QProcess::readyReadStandardOutput, this, [this] { read_rows(); });
    connect(process_, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { sweep_ended(code, status == QProcess::CrashExit); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        set_status("Cannot start " + program_ + ": " + process_->errorString(), true);
        sweep_->setEnabled(true);
        cancel_->setEnabled(false);
    });
    progress_->setRange(0, static_cast<int>(total_));
    progress_->setTextVisible(true);
    progress_->setValue(0);
    sweep_->setEnabled(false);
    cancel_->setEnabled(true);
    set_status(QString("Sweeping %1 gain sets (%2 mode)…").arg(total_).arg(speedMode ? "speed" : "position"));
    clock_.start();
    process_->start();
}

void GainMapSection::cancel_sweep() {
    if (!sweeping()) return;
    cancelled_ = true;
    process_->terminate();
}

void GainMapSection::read_rows() {
    const QByteArray data = process_->readAllStandardOutput();
    pending_.append(data.constData(), static_cast<std::size_t>(data.size()));
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
        take_row(pending_.substr(start, end - start));
    }
    pending_.erase(0, start);
    progress_->setValue(static_cast<int>(rows_.size()));
}

void GainMapSection::take_row(const std::string& row) {
    if (header_.empty()) {
        header_ = row;
        columns_ = split_cells(row);
        return;
    }
    if (rows_.size() >= total_) return;
    const std::size_t k = rows_.size();
    rows_.push_back(row);
    // Row k is grid index k; of the two axes the one nearer kp runs slower.
    const auto slow = static_cast<std::size_t>(xAxis_ < yAxis_ ? ny_ : nx_);
    const int a = static_cast<int>(k / slow), b = static_cast<int>(k % slow);
    view_->set_cell(xAxis_ < yAxis_ ? a : b, xAxis_ < yAxis_ ? b : a, metric_value(row));
}

void GainMapSection::sweep_ended(int exitCode, bool crashed) {
    read_rows();
    sweep_->setEnabled(true);
    cancel_->setEnabled(false);
    const QString seconds = QString::number(double(clock_.elapsed()) / 1000.0, 'f', 1);
    if (cancelled_) {
        set_status(QString("Cancelled after %1 of %2 gain sets.").arg(rows_.size()).arg(total_));
    } else if (crashed || exitCode != 0 || rows_.size() != total_) {
        const QStringList lines = QString::fromLocal8Bit(process_->readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        set_status(lines.isEmpty() ? QString("The sweep ended early (exit %1).").arg(exitCode) : lines.last(), true);
    } else {
        set_status(QString("%1 gain sets in %2 s. Click a cell to fill the edits.").arg(total_).arg(seconds));
    }
}

std::optional<double> GainMapSection::metric_value(const std::string& row) const {
    const Metric& metric = kMetrics[metric_->currentIndex()];
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c] != metric.column) continue;
        const std::vector<std::string> cells = split_cells(row);
        if (c >= cells.size() || cells[c].empty()) return std::nullopt;
        const double value = std::strtod(cells[c].c_str(), nullptr);
        return metric.magnitude ? std::abs(value) : value;
    }
    return std::nullopt;
}

void GainMapSection::recolour() {
    if (nx_ == 0) return;
    view_->reset({kGainNames[xAxis_], grid_.ranges[xAxis_].from, grid_.ranges[xAxis_].step, nx_},
                 {kGainNames[yAxis_], grid_.ranges[yAxis_].from, grid_.ranges[yAxis_].step, ny_}, metric_->currentText());
    const std::vector<std::string> rows = std::move(rows_);
    rows_.clear();
    for (const std::string& row : rows) take_row(row);
}

std::uint64_t GainMapSection::index_of_cell(int ix, int iy) const {
    return xAxis_ < yAxis_ ? static_cast<std::uint64_t>(ix) * static_cast<std::uint64_t>(ny_) + static_cast<std::uint64_t>(iy)
                           : static_cast<std::uint64_t>(iy) * static_cast<std::uint64_t>(nx_) + static_cast<std::uint64_t>(ix);
}

void GainMapSection::fill_edits(int ix, int iy) {
    const RegulationGains g = sweep_gains_at(grid_, index_of_cell(ix, iy));
    TLabeledEdit* const edits[SWEEP_GAIN_COUNT] = {host_.kp, host_.ki, host_.kd, host_.kv, host_.w};
    for (std::size_t i = 0; i < SWEEP_GAIN_COUNT; ++i) edits[i]->SetText(std::to_string(gain_of(g, i)));
    follow_edits();
    set_status(QString("Edits filled: Kp %1 Ki %2 Kd %3 Kv %4 W %5.").arg(g.kp).arg(g.ki).arg(g.kd).arg(g.kv).arg(g.w));
}

QString GainMapSection::describe(int ix, int iy) const {
    const std::uint64_t index = index_of_cell(ix, iy);
    const RegulationGains g = sweep_gains_at(grid_, index);
    QString text = QString("%1 %2, %3 %4").arg(kGainNames[xAxis_]).arg(gain_of(g, xAxis_)).arg(kGainNames[yAxis_]).arg(gain_of(g, yAxis_));
    if (index >= rows_.size()) return text + "\n(not run yet)";
    const std::vector<std::string> cells = split_cells(rows_[index]);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const std::string value = c < cells.size() ? cells[c] : std::string();
        text += QString("\n%1: %2").arg(QString::fromStdString(columns_[c]), value.empty() ? "—" : QString::fromStdString(value));
    }
    return text;
}

void GainMapSection::follow_edits() {
    if (nx_ == 0) return;
    const RegulationGains g = edit_gains();
    view_->set_cross(QPointF(gain_of(g, xAxis_), gain_of(g, yAxis_)));
}

std::string GainMapSection::table() const {
    if (header_.empty()) return {};
    std::string text = header_ + "\n";
    for (const std::string& row : rows_) text += row + "\n";
    return text;
}

void GainMapSection::save_png() {
    const std::string path = PromptSaveFileName("Save gain map", "PNG images (*.png)", "gain-map.png");
    if (path.empty()) return;
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || !view_->grab().toImage().save(&file, "PNG") || !file.commit()) {
        set_status(QString("Cannot write %1: %2").arg(QString::fromStdString(path), file.errorString()), true);
        return;
    }
    set_status("Saved " + QString::fromStdString(path));
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
