#include "analysis/cursor_section.h"

#include "analysis/run_feed.h"
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

std::string cell(const std::optional<double>& v) { return v ? number(*v) : "-"; }

}  // namespace

std::optional<double> value_at_or_before(const TLineSeries& series, double x) {
    // X ascends: the first point beyond x, by bisection.
    std::size_t lo = 0;
    std::size_t hi = series.Count();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (series.XValue(mid) <= x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo == 0) return std::nullopt;
    return series.YValue(lo - 1);
}

CursorSection::CursorSection(RunFeed& feed, TChart& chart, QWidget* parent)
    : QWidget(parent), feed_(feed), chart_(chart) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* hint = new QLabel("Right-click the chart: \"Cursor A here\", \"Cursor B here\"; drag a handle to move it.", this);
    hint->setWordWrap(true);
    column->addWidget(hint);
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
    if (!a && !b) return "No cursor placed.";
    std::optional<double> dt;
    if (a && b) dt = *b - *a;
    std::string out = "t  A " + cell(a) + "  B " + cell(b) + "  \u0394t " + cell(dt);
    for (std::size_t s = 0; s < chart_.SeriesCount(); ++s) {
        const TLineSeries& series = *chart_.Series(s);
        if (!series.Visible() || series.Count() == 0) continue;
        const std::optional<double> ya = a ? value_at_or_before(series, *a) : std::nullopt;
        const std::optional<double> yb = b ? value_at_or_before(series, *b) : std::nullopt;
        std::optional<double> dy;
        if (ya && yb) dy = *yb - *ya;
        out += "\n" + series.Title() + "  A " + cell(ya) + "  B " + cell(yb) + "  \u0394 " + cell(dy);
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
        if (text_->text() != "No cursor placed.") text_->setText("No cursor placed.");
        return;
    }
    text_->setText(QString::fromStdString(readout()));
}
