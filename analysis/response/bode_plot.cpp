#include "analysis/response/bode_plot.h"

#include "toolkit/chart/chart.h"

#include <QEvent>
#include <QFontMetrics>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kChartHeight = 170;
constexpr int kFilledMark = 5;
constexpr int kHollowMark = 7;
constexpr TColor kReference = 0x909090;

std::unique_ptr<TChart> make_chart(QWidget* parent, const char* title, const char* bottom) {
    auto chart = std::make_unique<TChart>(parent);
    chart->SetTitle(title);
    if (bottom) chart->SetBottomAxisTitle(bottom);
    chart->SetBottomAxisLogarithmic(true);
    chart->Widget()->setMinimumHeight(kChartHeight);
    return chart;
}

TOverlayStyle line_style(TColor colour, int width, bool dashed) {
    TOverlayStyle style;
    style.Color = colour;
    style.Width = width;
    style.Dashed = dashed;
    return style;
}

TOverlayStyle mark_style(TColor colour, bool hollow) {
    TOverlayStyle style;
    style.Color = colour;
    style.Dots = true;
    style.Width = hollow ? kHollowMark : kFilledMark;
    style.Hollow = hollow;
    style.Raised = true;
    return style;
}

}  // namespace

BodePlot::BodePlot(QWidget* parent)
    : QWidget(parent),
      gain_(make_chart(this, "Open loop gain (dB)", nullptr)),
      phase_(make_chart(this, "Phase (degrees)", "Frequency (Hz)")) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(gain_->Widget());
    layout->addWidget(phase_->Widget());
    // Both show the same frequencies: a zoom or pan of one moves the other.
    const auto follow = [](TChart& from, TChart& to) {
        from.OnViewChange = [&from, &to] {
            const ChartView a = from.View(), b = to.View();
            if (a.XMin != b.XMin || a.XMax != b.XMax) to.SetView({a.XMin, a.XMax, b.YMin, b.YMax});
        };
    };
    follow(*gain_, *phase_);
    follow(*phase_, *gain_);
    // One left edge for both plots: room for the widest label either may show.
    const QFontMetrics metrics(gain_->Widget()->font());
    const int labels = metrics.horizontalAdvance("-1000");
    for (TChart* chart : {gain_.get(), phase_.get()}) {
        chart->SetLeftLabelsWidth(labels);
        chart->Widget()->setFocusPolicy(Qt::ClickFocus);
        chart->Widget()->installEventFilter(this);
    }
    draw_references(kFromHz, kToHz);
    gain_->SetView({kFromHz, kToHz, -50, 50});
    phase_->SetView({kFromHz, kToHz, -360, 0});
}

bool BodePlot::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && !static_cast<QWidget*>(watched)->hasFocus()) {
        event->ignore();  // handled here, not accepted: it goes on to the parents
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

BodePlot::~BodePlot() {
    gain_->OnViewChange = nullptr;
    phase_->OnViewChange = nullptr;
}

void BodePlot::remove(Drawn& drawn) {
    for (TChartOverlay* line : drawn.lines) {
        gain_->RemoveOverlay(line);
        phase_->RemoveOverlay(line);
    }
    drawn.lines.clear();
}

void BodePlot::add_point(const MeasuredPoint& point, TColor colour) {
    if (!point.loop) return;
    const bool hollow = point.distortion.value_or(1.0) > kHollowAbove;
    TChartOverlay* gain = gain_->AddOverlay(mark_style(colour, hollow));
    TChartOverlay* phase = phase_->AddOverlay(mark_style(colour, hollow));
    gain->AddXY(point.hz, loop_gain_db(*point.loop));
    phase->AddXY(point.hz, loop_phase_deg(*point.loop));
    pending_.lines.push_back(gain);
    pending_.lines.push_back(phase);
    repaint_both();
}

void BodePlot::add(const BodeResponse& response, TColor colour) {
    remove(pending_);
    Drawn drawn;
    TChartOverlay* twinGain = gain_->AddOverlay(line_style(colour, 1, false));
    TChartOverlay* twinPhase = phase_->AddOverlay(line_style(colour, 1, false));
    for (const ResponsePoint& p : response.twin) {
        twinGain->AddXY(p.hz, loop_gain_db(p.loop));
        twinPhase->AddXY(p.hz, loop_phase_deg(p.loop));
    }
    drawn.lines = {twinGain, twinPhase};
    for (const bool hollow : {false, true}) {
        TChartOverlay* gain = gain_->AddOverlay(mark_style(colour, hollow));
        TChartOverlay* phase = phase_->AddOverlay(mark_style(colour, hollow));
        for (const MeasuredPoint& p : response.measured) {
            if (!p.loop || (p.distortion.value_or(1.0) > kHollowAbove) != hollow) continue;
            gain->AddXY(p.hz, loop_gain_db(*p.loop));
            phase->AddXY(p.hz, loop_phase_deg(*p.loop));
        }
        drawn.lines.push_back(gain);
        drawn.lines.push_back(phase);
    }
    responses_.push_back(std::move(drawn));
    if (!response.twin.empty()) draw_references(response.twin.front().hz, response.twin.back().hz);
    mark_margins(response, colour);
    gain_->FitToData();
    phase_->FitToData();
    // The frequencies of every response, on both.
    double lo = std::numeric_limits<double>::infinity(), hi = 0.0;
    for (const Drawn& d : responses_) {
        for (TChartOverlay* line : d.lines) {
            if (line->Count() == 0) continue;
            lo = std::min(lo, line->XValue(0));
            hi = std::max(hi, line->XValue(line->Count() - 1));
        }
    }
    if (hi > lo) {
        for (TChart* chart : {gain_.get(), phase_.get()}) {
            const ChartView v = chart->View();
            chart->SetView({lo, hi, v.YMin, v.YMax});
        }
    }
    repaint_both();
}

void BodePlot::mark_margins(const BodeResponse& response, TColor colour) {
    remove(margins_);
    const auto upright = [this, colour](TChart& chart, double hz, double from, double to, bool dashed) {
        TChartOverlay* line = chart.AddOverlay(line_style(colour, dashed ? 1 : 2, dashed));
        line->AddXY(hz, from);
        line->AddXY(hz, to);
        margins_.lines.push_back(line);
    };
    for (const bool twin : {false, true}) {
        const LoopMargins& m = twin ? response.twinMargins : response.measuredMargins;
        if (m.gainMarginDb && m.phaseCrossoverHz) upright(*gain_, *m.phaseCrossoverHz, -*m.gainMarginDb, 0.0, twin);
        if (m.phaseMarginDeg && m.crossoverHz) {
            upright(*phase_, *m.crossoverHz, -180.0, -180.0 + *m.phaseMarginDeg, twin);
        }
    }
}

void BodePlot::draw_references(double fromHz, double toHz) {
    remove(references_);
    for (auto [chart, level] : {std::pair{gain_.get(), 0.0}, std::pair{phase_.get(), -180.0}}) {
        TChartOverlay* line = chart->AddOverlay(line_style(kReference, 1, true));
        line->AddXY(fromHz, level);
        line->AddXY(toHz, level);
        references_.lines.push_back(line);
    }
}

void BodePlot::clear() {
    remove(pending_);
    remove(margins_);
    remove(references_);
    for (Drawn& d : responses_) remove(d);
    responses_.clear();
    draw_references(kFromHz, kToHz);
    repaint_both();
}

void BodePlot::repaint_both() {
    gain_->Repaint();
    phase_->Repaint();
}
