#include "analysis/response/response_section.h"

#include "analysis/kept/kept_runs_section.h"
#include "analysis/live/edit_changes.h"
#include "analysis/live/gain_edits.h"
#include "core/batch/chunk_runner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {

const char* const kLegend =
    "Marks: measured, hollow where the distortion is above 5 % (the integer loop is not linear there). "
    "Line: the linear twin. Upright lines: the margins, dashed the twin's.";

// A margin's cell: the number to `decimals` places, or a dash for none.
QString cell(const std::optional<double>& value, int decimals) {
    return value ? QString::number(*value, 'f', decimals) : QString::fromUtf8("\u2014");
}

QString hz_cell(const std::optional<double>& hz) {
    if (!hz) return QString::fromUtf8("\u2014");
    return QString::number(*hz, 'g', *hz < 1 ? 2 : 3);
}

QString gains_text(bool speedMode, const RegulationGains& g) {
    QString text = QString("Kp %1 Ki %2 Kd %3").arg(g.kp).arg(g.ki).arg(g.kd);
    if (!speedMode) text += QString(" Kv %1").arg(g.kv);
    return text;
}

}  // namespace

ResponseSection::ResponseSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent)
    : QWidget(parent), host_(host), edits_(edits) {
    setObjectName("frequencyResponse");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    setup_ = new QLabel(this);
    setup_->setWordWrap(true);
    layout->addWidget(setup_);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Amplitude", this));
    amplitude_ = new QSpinBox(this);
    amplitude_->setObjectName("amplitude");
    amplitude_->setRange(1, RESPONSE_AMPLITUDE_MOST);
    amplitude_->setValue(RESPONSE_DEFAULT_AMPLITUDE);
    amplitude_->setSuffix(" counts");
    amplitude_->setToolTip(
        "The injected sine's amplitude: PWM counts in speed mode, speed counts in position mode.\n"
        "Too small and the 16-bit truncations swallow it; too large and the PWM limit clips it.");
    row->addWidget(amplitude_);
    measure_ = new QPushButton("Measure", this);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setEnabled(false);
    row->addWidget(measure_);
    row->addWidget(cancel_);
    row->addStretch(1);
    layout->addLayout(row);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, kPoints);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(8);
    layout->addWidget(progress_);

    plot_ = new BodePlot(this);
    layout->addWidget(plot_);
    margins_ = new QLabel(this);
    margins_->setTextFormat(Qt::RichText);
    margins_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(margins_);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    layout->addWidget(status_);

    QObject::connect(measure_, &QPushButton::clicked, this, [this] { measure(); });
    QObject::connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    subscription_ = edits_.subscribe([this] { show_setup(); });
    show_setup();
    status_->setText(kLegend);
}

ResponseSection::~ResponseSection() { edits_.unsubscribe(subscription_); }

ResponseSetup ResponseSection::edit_setup() const {
    ResponseSetup setup;
    setup.speedMode = host_.gains->speed_mode();
    setup.gains = host_.gains->run_gains();
    setup.gains.w = 0;  // about rest
    setup.amplitude = amplitude_->value();
    return setup;
}

QString ResponseSection::setup_text() const {
    const ResponseSetup setup = edit_setup();
    return QString("%1 mode: %2, about rest (%3 = 0)")
        .arg(setup.speedMode ? "Speed" : "Position", gains_text(setup.speedMode, setup.gains),
             setup.speedMode ? "w" : "position");
}

void ResponseSection::show_setup() { setup_->setText(setup_text()); }

void ResponseSection::measure() {
    if (measuring()) return;
    const ResponseSetup setup = edit_setup();
    taken_ = 0;
    progress_->setValue(0);
    measure_->setEnabled(false);
    cancel_->setEnabled(true);
    status_->setText("Measuring " + QString::number(kPoints) + " frequencies ...");
    setups_.push_back(setup);
    job_.start(
        [this, setup](BackgroundJob::Context& context) {
            const std::vector<double> hz = log_spaced(kFromHz, RESPONSE_NYQUIST_HZ, kPoints);
            std::vector<MeasuredPoint> points;
            const bool whole = measure_response(setup, hz, runner_hardware_threads(), context.stop(),
                                                [&](std::size_t i, const MeasuredPoint& p) {
                                                    points.push_back(p);
                                                    context.post([this, i, p] { take_point(i, p); });
                                                });
            if (!whole) return;
            ResponseReport report = response_report(setup, std::move(points), kFromHz, RESPONSE_NYQUIST_HZ);
            context.post([this, report = std::move(report)]() mutable { finish(true, std::move(report)); });
        },
        true, [this](const std::string& failure) {
            if (failure.empty()) return;
            finish(false, {});
            status_->setText("The measurement failed: " + QString::fromStdString(failure));
        });
}

void ResponseSection::cancel() {
    if (!measuring()) return;
    job_.cancel();  // nothing more of it comes
    finish(false, {});
}

void ResponseSection::take_point(std::size_t, const MeasuredPoint& point) {
    progress_->setValue(++taken_);
    plot_->add_point(point, KeptRunsSection::kPalette[nextColour_ % KeptRunsSection::kMaxKept]);
}

void ResponseSection::finish(bool whole, ResponseReport report) {
    measure_->setEnabled(true);
    cancel_->setEnabled(false);
    if (!whole) {
        setups_.pop_back();
        status_->setText("Cancelled: nothing kept.");
        progress_->setValue(0);
        redraw();
        if (onEnded) onEnded();
        return;
    }
    responses_.push_back(std::move(report));
    colours_.push_back(KeptRunsSection::kPalette[nextColour_++ % KeptRunsSection::kMaxKept]);
    if (responses_.size() > kKept) {
        responses_.erase(responses_.begin());
        setups_.erase(setups_.begin());
        colours_.erase(colours_.begin());
    }
    status_->setText(kLegend);
    redraw();
    if (onEnded) onEnded();
}

void ResponseSection::redraw() {
    plot_->clear();
    for (std::size_t i = 0; i < responses_.size(); ++i) {
        const ResponseReport& r = responses_[i];
        plot_->add({r.measured, r.twin, r.measuredMargins, r.twinMargins}, colours_[i]);
    }
    margins_->setText(margins_text());
}

QString ResponseSection::margins_text() const {
    if (responses_.empty()) return {};
    QString html = "<table cellspacing='0' cellpadding='2'><tr><th></th><th align='left'>&nbsp;</th>"
                   "<th align='right'>GM dB</th><th align='right'>at Hz</th><th align='right'>PM&deg;</th>"
                   "<th align='right'>at Hz</th><th align='right'>Ms</th><th align='right'>BW Hz</th></tr>";
    for (std::size_t i = responses_.size(); i-- > 0;) {
        const ResponseReport& r = responses_[i];
        const ResponseSetup& s = setups_[i];
        const QString colour = QString("#%1%2%3")
                                   .arg(color_red(colours_[i]), 2, 16, QChar('0'))
                                   .arg(color_green(colours_[i]), 2, 16, QChar('0'))
                                   .arg(color_blue(colours_[i]), 2, 16, QChar('0'));
        html += QString("<tr><td colspan='8'><font color='%1'>&#9632;</font> %2 %3, amplitude %4</td></tr>")
                    .arg(colour, s.speedMode ? "speed" : "position", gains_text(s.speedMode, s.gains))
                    .arg(s.amplitude);
        for (const bool twin : {false, true}) {
            const LoopMargins& m = twin ? r.twinMargins : r.measuredMargins;
            html += QString("<tr><td></td><td>%1</td><td align='right'>%2</td><td align='right'>%3</td>"
                            "<td align='right'>%4</td><td align='right'>%5</td><td align='right'>%6</td>"
                            "<td align='right'>%7</td></tr>")
                        .arg(twin ? "twin" : "measured", cell(m.gainMarginDb, 1), hz_cell(m.phaseCrossoverHz),
                             cell(m.phaseMarginDeg, 1), hz_cell(m.crossoverHz), cell(m.ms, 2),
                             hz_cell(m.bandwidthHz));
        }
    }
    return html + "</table>";
}

QString ResponseSection::status_text() const { return status_->text(); }
