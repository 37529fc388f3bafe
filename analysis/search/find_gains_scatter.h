#pragma once
// The feasible sets of a search as points: a second column across, the
// objective up, the non-dominated front drawn over them in red and joined,
// the best set ringed. A click near a point hands its index on.
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class FindGainsScatter : public QWidget {
public:
    explicit FindGainsScatter(QWidget* parent = nullptr);

    struct Point {
        double x = 0;
        double y = 0;
        std::size_t index = 0;  // handed back on a click
    };
    // All points, the front's (ordered across), and the best one if any.
    void set_points(std::vector<Point> points, std::vector<Point> front, const Point* best, const QString& xTitle,
                    const QString& yTitle);
    std::size_t point_count() const { return points_.size(); }
    // Where a point is drawn, in the widget.
    QPointF to_widget(double x, double y) const;

    std::function<void(std::size_t index)> onPointClicked;

    QSize sizeHint() const override { return {300, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRectF plot_rect() const;

    std::vector<Point> points_;
    std::vector<Point> front_;
    std::optional<Point> best_;
    QString xTitle_, yTitle_;
    double xMin_ = 0, xMax_ = 1, yMin_ = 0, yMax_ = 1;  // the plot's edges
    std::array<double, 4> labels_{};                    // the points' own extremes: x low, high, y low, high
};
