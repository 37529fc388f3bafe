#pragma once
// "Frequency response": the open loop of the gains and mode the edits hold,
// measured as the 16-bit loop runs (a sine of the chosen amplitude injected
// where the loop is broken, about rest), beside the real-valued twin's, on a
// Bode plot with the margins of both listed under it. "Measure" computes in
// this process on worker threads (analysis/work), never on the window's
// thread; the points appear as they come, and "Cancel" stops at once. The last kKept responses
// stay on the plot, each in a kept-run colour.
#include "analysis/live/analysis_host.h"
#include "analysis/response/bode_plot.h"
#include "analysis/work/background_job.h"
#include "core/batch/frequency_batch.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class EditChanges;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

class ResponseSection : public QWidget {
public:
    ResponseSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent = nullptr);
    ~ResponseSection() override;

    static constexpr const char* kTitle = "Frequency response";
    static constexpr std::size_t kKept = 4;
    static constexpr int kPoints = RESPONSE_POINTS;
    static constexpr double kFromHz = RESPONSE_FROM_HZ;

    void measure();  // "Measure"
    void cancel();   // "Cancel"
    bool measuring() const { return job_.running(); }
    // Runs after a measurement ended, whole or cancelled.
    std::function<void()> onEnded;

    // What the section holds, for tests.
    const std::vector<ResponseReport>& responses() const { return responses_; }
    QString setup_text() const;    // "Speed mode: Kp 250 Ki 60 Kd 0"
    QString margins_text() const;  // the listing under the plot
    QString status_text() const;
    BodePlot& plot() const { return *plot_; }

private:
    ResponseSetup edit_setup() const;
    void take_point(std::size_t index, const MeasuredPoint& point);
    void finish(bool whole, ResponseReport report);
    void redraw();
    void show_setup();

    AnalysisHost host_;
    EditChanges& edits_;
    int subscription_ = 0;
    std::vector<ResponseReport> responses_;  // oldest first
    std::vector<ResponseSetup> setups_;      // of each response
    std::vector<TColor> colours_;
    std::size_t nextColour_ = 0;
    BackgroundJob job_;
    int taken_ = 0;

    QLabel* setup_;
    QSpinBox* amplitude_;
    QPushButton* measure_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    BodePlot* plot_;
    QLabel* margins_;
    QLabel* status_;
};
