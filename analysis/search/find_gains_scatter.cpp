#include "analysis/search/find_gains_scatter.h"

#include "toolkit/chart/chart.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr TColor kCloud = color_from_rgb(70, 110, 170);
constexpr TColor kFront = color_from_rgb(200, 30, 30);
constexpr TColor kPicked = color_from_rgb(255, 140, 0);

TOverlayStyle dots(TColor colour, int width, int alpha = 255) {
    TOverlayStyle style;
    style.Color = colour;
    style.Width = width;
    style.Alpha = alpha;
    style.Dots = true;
    return style;
}

// The points into an overlay in ascending order across (as the chart keeps
// them), with the set of each in that order.
void fill(TChartOverlay& overlay, std::vector<FindGainsScatter::Point> points, std::vector<std::size_t>& sets) {
    std::stable_sort(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
    overlay.Clear();
    sets.clear();
    for (const auto& p : points) {
        overlay.AddXY(p.x, p.y);
        sets.push_back(p.index);
    }
}

}  // namespace

FindGainsScatter::FindGainsScatter(QWidget* parent) : QWidget(parent), chart_(std::make_unique<TChart>(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(chart_->Widget());
    setMinimumHeight(200);
    cloud_ = chart_->AddOverlay(dots(kCloud, 3, 150));
    TOverlayStyle line;
    line.Color = kFront;
    line.Width = 1;
    frontLine_ = chart_->AddOverlay(line);
    frontDots_ = chart_->AddOverlay(dots(kFront, 5));
    best_ = chart_->AddOverlay(dots(0, 9));
    TOverlayStyle picked = dots(kPicked, 7);
    picked.Raised = true;
    picked_ = chart_->AddOverlay(picked);
    chart_->Widget()->setToolTip(
        "Each dot a feasible set; the red line joins the front (no other set is better in both columns). Black: the "
        "best set, orange: the one clicked. Click a dot to fill the edits; right-click to copy the sets as CSV.");
    menu_.AddItem("Copy as CSV", [this](TObject*) {
        if (onCopy) onCopy();
    });
    chart_->SetPopupMenu(&menu_);
    chart_->OnDotClick = [this](TChartOverlay* overlay, std::size_t i) {
        const std::vector<std::size_t>* sets = overlay == cloud_       ? &cloudSets_
                                               : overlay == frontDots_ ? &frontSets_
                                               : overlay == best_      ? &bestSets_
                                               : overlay == picked_    ? &pickedSets_
                                                                       : nullptr;
        if (sets && i < sets->size() && onPointClicked) onPointClicked((*sets)[i]);
    };
    set_points({}, {}, std::nullopt, std::nullopt, "", "");
}

FindGainsScatter::~FindGainsScatter() = default;

QWidget* FindGainsScatter::chart_widget() const { return chart_->Widget(); }

void FindGainsScatter::set_points(std::vector<Point> points, std::vector<Point> front, std::optional<Point> best,
                                  std::optional<Point> picked, const std::string& xTitle, const std::string& yTitle) {
    points_ = points.size();
    fill(*cloud_, std::move(points), cloudSets_);
    std::vector<std::size_t> lineSets;  // the line is not clicked: its dots are
    fill(*frontDots_, front, frontSets_);
    fill(*frontLine_, std::move(front), lineSets);
    fill(*best_, best ? std::vector<Point>{*best} : std::vector<Point>{}, bestSets_);
    fill(*picked_, picked ? std::vector<Point>{*picked} : std::vector<Point>{}, pickedSets_);
    chart_->SetTitle(points_ == 0 ? "No feasible set yet" : yTitle + " (up, minimised)");
    chart_->SetBottomAxisTitle(xTitle);
    // The axes fit the sets, unless the user has zoomed or panned.
    if (!chart_->UserView()) chart_->FitToData();
    chart_->Repaint();
}

QPoint FindGainsScatter::to_widget(double x, double y) {
    const ChartView view = chart_->View();
    const TRect area = chart_->PlotArea();
    const auto along = [](double v, double lo, double hi, int from, int to) {
        return from + static_cast<int>(std::lround((v - lo) / (hi - lo) * (to - from)));
    };
    return {along(x, view.XMin, view.XMax, area.Left, area.Right - 1),
            along(y, view.YMin, view.YMax, area.Bottom - 1, area.Top)};
}
