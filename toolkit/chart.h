#pragma once
// Line chart with line series, drawn by the layer itself so that a repaint
// per pass stays cheap however many points the series hold.
#include "toolkit/colors.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class TChart;
class ChartWidget;

class TLineSeries {
public:
    void Clear();
    // Appends a point; X values arrive in ascending order. `color` is
    // clDefaultColor for the series' own colour. Returns the point's index.
    int AddXY(double x, double y, const std::string& label = "", TColor color = clDefaultColor);
    void SetTitle(const std::string& title);
    const std::string& Title() const;
    int Width() const;
    TColor Color() const;  // the colour the line is drawn in
    std::size_t Count() const;
    double XValue(std::size_t index) const;
    double YValue(std::size_t index) const;

private:
    friend class TChart;
    friend class ChartWidget;
    TLineSeries(TChart& chart, std::string title, int width, TColor color);
    TChart& chart_;
    std::string title_;
    int width_;
    TColor color_;
    std::vector<double> x_;
    std::vector<double> y_;
};

class TChart {
public:
    explicit TChart(QWidget* parent);
    ~TChart();
    TChart(const TChart&) = delete;
    TChart& operator=(const TChart&) = delete;

    QWidget* Widget() const;

    void SetTitle(const std::string& title);
    void SetBottomAxisTitle(const std::string& title);
    // Labels of the bottom axis fall on multiples of this step.
    void SetBottomAxisIncrement(double step);
    // A new series, drawn `width` pixels wide; clDefaultColor picks the
    // chart's next default colour.
    TLineSeries* AddSeries(const std::string& title, int width, TColor color = clDefaultColor);
    std::size_t SeriesCount() const;
    TLineSeries* Series(std::size_t index) const;

    // Redraws at once, inside the call, with every point added so far.
    void Repaint();

private:
    friend class TLineSeries;
    ChartWidget* widget_;
    std::vector<std::unique_ptr<TLineSeries>> series_;
};
