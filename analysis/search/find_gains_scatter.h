#pragma once
// The feasible sets of a search as dots on the toolkit's chart: a second
// column across, the objective up, the non-dominated front joined by a red
// line over them, the best set and the one picked by a click marked. The
// axes step in 1-2-5 with as many decimals as their step needs; the wheel
// zooms, a drag pans and a double-click fits, as on the window's chart. A
// click on a dot hands its set on; the right button offers "Copy as CSV".
#include "toolkit/controls/popup_menu.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TChart;
class TChartOverlay;

class FindGainsScatter : public QWidget {
public:
    explicit FindGainsScatter(QWidget* parent = nullptr);
    ~FindGainsScatter() override;

    struct Point {
        double x = 0;
        double y = 0;
        std::size_t index = 0;  // the set's, handed back on a click
    };
    // All points, the front's (ordered across), the best one and the picked
    // one if any; the titles name the columns across and up.
    void set_points(std::vector<Point> points, std::vector<Point> front, std::optional<Point> best,
                    std::optional<Point> picked, const std::string& xTitle, const std::string& yTitle);
    std::size_t point_count() const { return points_; }
    // Where a value pair is drawn, in the chart's widget.
    QPoint to_widget(double x, double y);
    QWidget* chart_widget() const;
    TChart& chart() const { return *chart_; }

    std::function<void(std::size_t index)> onPointClicked;
    std::function<void()> onCopy;  // "Copy as CSV"

    QSize sizeHint() const override { return {300, 240}; }

private:
    std::unique_ptr<TChart> chart_;
    TPopupMenu menu_;
    TChartOverlay* cloud_;
    TChartOverlay* frontLine_;
    TChartOverlay* frontDots_;
    TChartOverlay* best_;
    TChartOverlay* picked_;
    // Per overlay, the set of each of its points (in the overlay's order).
    std::vector<std::size_t> cloudSets_, frontSets_, bestSets_, pickedSets_;
    std::size_t points_ = 0;
};
