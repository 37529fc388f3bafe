#include "analysis/kept/cursor_section.h"

#include "analysis/kept/kept_runs_section.h"
#include "analysis/live/run_feed.h"
#include "toolkit/chart/chart.h"

#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string cell(const std::optional<double>& v) { return v ? number(*v) : "\u2013"; }

constexpr const char* kNoCursor = "No cursor: right-click the chart, \"Cursor A here\".";

}  // namespace

std::optional<double> value_at_or_before(const SeriesData& points, double x) {
    // X ascends: the first point beyond x, by bisection.
    std::size_t lo = 0;
    std::size_t hi = points.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (points.x(mid) <= x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo == 0 || x > points.x(points.size() - 1)) return std::nullopt;
    return points.y(lo - 1);
}

CursorSection::CursorSection(RunFeed& feed, TChart& chart, const KeptRunsSection* kept, QWidget* parent)
    : QWidget(parent), feed_(feed), chart_(chart), kept_(kept) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    text_ = new QLabel(this);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(text_);

    chart_.OnCursorMove = [this] { refresh(); };
    RunFeed::Listener listener;
    listener.onPass = [this](const RunPassInfo&) { refresh(); };
    listener.onStart = [this](const RunStartInfo&) { refresh(); };
    subscription_ = feed_.subscribe(std::move(listener));
}

CursorSection::~CursorSection() {
    chart_.OnCursorMove = nullptr;
    feed_.unsubscribe(subscription_);
}

std::string CursorSection::readout() const {
    const std::optional<double> a = chart_.Cursor(0);
    const std::optional<double> b = chart_.Cursor(1);
    if (!a && !b) return kNoCursor;
    std::optional<double> dt;
    if (a && b) dt = *b - *a;
    std::string out = "t  A " + cell(a) + "  B " + cell(b) + "  \u0394t " + cell(dt);
    auto add_row = [&](const std::string& name, const SeriesData& points) {
        const std::optional<double> ya = a ? value_at_or_before(points, *a) : std::nullopt;
        const std::optional<double> yb = b ? value_at_or_before(points, *b) : std::nullopt;
        std::optional<double> dy;
        if (ya && yb) dy = *yb - *ya;
        out += "\n" + name + "  A " + cell(ya) + "  B " + cell(yb) + "  \u0394 " + cell(dy);
    };
    for (std::size_t s = 0; s < chart_.SeriesCount(); ++s) {
        const TLineSeries& series = *chart_.Series(s);
        if (series.Visible() && series.Count() > 0) add_row(series.Title(), series.Points());
    }
    if (!kept_) return out;
    for (const KeptRunsSection::KeptRun& run : kept_->kept()) {
        for (std::size_t s = 0; s < run.lines.size(); ++s) {
            const TChartOverlay* line = run.lines[s];
            if (line && line->Visible()) add_row("#" + std::to_string(run.number) + " " + run.titles[s], line->Points());
        }
    }
    return out;
}

void CursorSection::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void CursorSection::refresh() {
    if (!isVisible()) return;
    if (!chart_.Cursor(0) && !chart_.Cursor(1)) {
        if (text_->text() != kNoCursor) text_->setText(kNoCursor);
        return;
    }
    text_->setText(QString::fromStdString(readout()));
}
