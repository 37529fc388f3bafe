#pragma once
// A Bode plot on two of the toolkit's charts over one logarithmic frequency
// axis: the open loop's gain in dB above, its phase in degrees below (wrapped
// to -360 ... 0). Each response is drawn in its own colour: the measured
// points as marks, hollow where their distortion is above kHollowAbove, the
// twin's curve as a thin line. The newest response's margins are marked: the
// gain margin as an upright line on the gain plot at the phase crossover,
// from the gain there to 0 dB, the phase margin as one on the phase plot at
// the gain crossover, from -180 degrees to the phase there (solid measured,
// dashed the twin's); 0 dB and -180 degrees are dashed grey lines. A chart
// zooms with the wheel only once clicked; before that the wheel scrolls what
// holds the plot (the panel).
#include "core/frequency/frequency_response.h"
#include "core/frequency/loop_margins.h"
#include "toolkit/app/colors.h"

#include <QWidget>

#include <memory>
#include <vector>

class TChart;
class TChartOverlay;

// One response as the plot shows it.
struct BodeResponse {
    std::vector<MeasuredPoint> measured;
    std::vector<ResponsePoint> twin;  // a fine grid
    LoopMargins measuredMargins;
    LoopMargins twinMargins;
};

class BodePlot : public QWidget {
public:
    explicit BodePlot(QWidget* parent = nullptr);
    ~BodePlot() override;

    static constexpr double kHollowAbove = 0.05;

    // Draws `response` in `colour` over what is there; its margins replace
    // the marks of the one before.
    void add(const BodeResponse& response, TColor colour);
    // A measured point as it arrives, before its response is whole (the
    // twin and the margins come with add, which replaces these).
    void add_point(const MeasuredPoint& point, TColor colour);
    void clear();

    TChart& gain_chart() const { return *gain_; }
    // Before the first response the plot shows this range with its references.
    static constexpr double kFromHz = RESPONSE_FROM_HZ;
    static constexpr double kToHz = RESPONSE_NYQUIST_HZ;
    TChart& phase_chart() const { return *phase_; }

protected:
    // In the panel the wheel scrolls: a chart takes it once clicked.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The lines of one response on both charts.
    struct Drawn {
        std::vector<TChartOverlay*> lines;
    };
    void remove(Drawn& drawn);
    void mark_margins(const BodeResponse& response, TColor colour);
    void draw_references(double fromHz, double toHz);
    void repaint_both();

    std::unique_ptr<TChart> gain_;
    std::unique_ptr<TChart> phase_;
    std::vector<Drawn> responses_;
    Drawn pending_;   // points of a response still coming
    Drawn margins_;   // the newest response's margin marks
    Drawn references_;
};
