// Line chart drawn with QPainter. First version: every repaint draws every
// point; the cached, incremental drawing comes later.
#include "toolkit/chart.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr TColor kDefaultPalette[] = {0x0000FF, 0x008000, 0x00A0E0, 0x800080, 0x808000, 0x0080FF};

QColor to_qcolor(TColor c) { return QColor(color_red(c), color_green(c), color_blue(c)); }

}  // namespace

class ChartWidget : public QWidget {
public:
    ChartWidget(TChart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    std::string title;
    std::string bottomTitle;
    double bottomIncrement = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        QRect plot = rect().adjusted(50, 30, -10, -30);
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, width(), 25), Qt::AlignCenter, QString::fromStdString(title));
        double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
        bool any = false;
        for (std::size_t s = 0; s < chart_.SeriesCount(); ++s) {
            const TLineSeries* series = chart_.Series(s);
            for (std::size_t i = 0; i < series->Count(); ++i) {
                double x = series->XValue(i), y = series->YValue(i);
                if (!any) {
                    x0 = x1 = x;
                    y0 = y1 = y;
                    any = true;
                }
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
        if (x1 <= x0) x1 = x0 + 1;
        if (y1 <= y0) y1 = y0 + 1;
        p.drawRect(plot.adjusted(0, 0, -1, -1));
        for (std::size_t s = 0; s < chart_.SeriesCount(); ++s) {
            const TLineSeries* series = chart_.Series(s);
            QPolygonF line;
            for (std::size_t i = 0; i < series->Count(); ++i) {
                double fx = (series->XValue(i) - x0) / (x1 - x0);
                double fy = (series->YValue(i) - y0) / (y1 - y0);
                line << QPointF(plot.left() + fx * (plot.width() - 1), plot.bottom() - fy * (plot.height() - 1));
            }
            p.setPen(QPen(to_qcolor(series->Color()), series->Width()));
            p.drawPolyline(line);
        }
        p.setPen(Qt::black);
        p.drawText(QRect(0, height() - 20, width(), 20), Qt::AlignCenter, QString::fromStdString(bottomTitle));
    }

private:
    TChart& chart_;
};

TLineSeries::TLineSeries(TChart& chart, std::string title, int width, TColor color)
    : chart_(chart), title_(std::move(title)), width_(width), color_(color) {}

void TLineSeries::Clear() {
    x_.clear();
    y_.clear();
}

int TLineSeries::AddXY(double x, double y, const std::string&, TColor) {
    // Keep X ascending: a point below the last one goes to its sorted place.
    auto at = std::upper_bound(x_.begin(), x_.end(), x);
    auto index = at - x_.begin();
    x_.insert(at, x);
    y_.insert(y_.begin() + index, y);
    return static_cast<int>(index);
}

void TLineSeries::SetTitle(const std::string& title) { title_ = title; }
const std::string& TLineSeries::Title() const { return title_; }
int TLineSeries::Width() const { return width_; }
TColor TLineSeries::Color() const { return color_; }
std::size_t TLineSeries::Count() const { return x_.size(); }
double TLineSeries::XValue(std::size_t index) const { return x_.at(index); }
double TLineSeries::YValue(std::size_t index) const { return y_.at(index); }

TChart::TChart(QWidget* parent) : widget_(new ChartWidget(*this, parent)) {}
TChart::~TChart() = default;

QWidget* TChart::Widget() const { return widget_; }
void TChart::SetTitle(const std::string& title) { widget_->title = title; }
void TChart::SetBottomAxisTitle(const std::string& title) { widget_->bottomTitle = title; }
void TChart::SetBottomAxisIncrement(double step) { widget_->bottomIncrement = step; }

TLineSeries* TChart::AddSeries(const std::string& title, int width, TColor color) {
    if (color == clDefaultColor) {
        color = kDefaultPalette[series_.size() % std::size(kDefaultPalette)];
    }
    series_.push_back(std::unique_ptr<TLineSeries>(new TLineSeries(*this, title, width, color)));
    return series_.back().get();
}

std::size_t TChart::SeriesCount() const { return series_.size(); }
TLineSeries* TChart::Series(std::size_t index) const { return series_.at(index).get(); }

void TChart::Repaint() { widget_->repaint(); }
