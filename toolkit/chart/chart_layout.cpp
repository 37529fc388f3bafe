#include "toolkit/chart/chart_layout.h"

#include "toolkit/chart/chart_model.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 6;     // between the widget's edge and everything else
constexpr int kTick = 4;       // axis tick length
constexpr int kSwatch = 24;    // legend line sample length
constexpr int kLabelGap = 12;  // least free space between two bottom labels

}  // namespace

std::vector<LegendItem> legend_items(const ChartModel& model) {
    std::vector<LegendItem> items;
    for (std::size_t i = 0; i < model.SeriesCount(); ++i) items.push_back({LegendItem::kSeries, i});
    for (std::size_t i = 0; i < model.OverlayCount(); ++i) {
        const TOverlayStyle& style = model.Overlay(i)->Style();
        if (style.LegendWithSeries && !style.Legend.empty()) items.push_back({LegendItem::kOverlay, i});
    }
    if (model.overlay_heading().empty()) return items;
    bool headed = false;
    for (std::size_t i = 0; i < model.OverlayCount(); ++i) {
        if (model.Overlay(i)->Style().Legend.empty() || model.Overlay(i)->Style().LegendWithSeries) continue;
        if (!headed) items.push_back({LegendItem::kHeading, 0});
        headed = true;
        if (model.overlays_folded()) break;
        items.push_back({LegendItem::kOverlay, i});
    }
    return items;
}

std::string legend_text(const ChartModel& model, const LegendItem& item) {
    switch (item.kind) {
    case LegendItem::kSeries:
        return model.Series(item.index)->Title();
    case LegendItem::kOverlay:
        return model.Overlay(item.index)->Style().Legend;
    case LegendItem::kMore:
        return "\u2026 " + std::to_string(item.index) + " more";
    case LegendItem::kHeading:
        break;
    }
    if (!model.overlays_folded()) return "\u25BE " + model.overlay_heading();
    std::size_t entries = 0;
    for (std::size_t i = 0; i < model.OverlayCount(); ++i) {
        const TOverlayStyle& style = model.Overlay(i)->Style();
        entries += !style.Legend.empty() && !style.LegendWithSeries;
    }
    return "\u25B8 " + model.overlay_heading() + " (" + std::to_string(entries) + ")";
}

namespace {

// A legend of more than `most` lines gives up the heading's last entries for
// one line that counts them; the series and the heading stay.
void fit_legend(std::vector<LegendItem>& items, int most) {
    if (most < 0 || items.size() <= static_cast<std::size_t>(most)) return;
    const auto heading = std::find_if(items.begin(), items.end(),
                                      [](const LegendItem& item) { return item.kind == LegendItem::kHeading; });
    if (heading == items.end()) return;
    const std::size_t first = static_cast<std::size_t>(heading - items.begin()) + 1;
    const std::size_t kept = std::max(first, static_cast<std::size_t>(std::max(0, most - 1)));
    if (kept >= items.size()) return;
    const std::size_t hidden = items.size() - kept;
    items.resize(kept);
    items.push_back({LegendItem::kMore, hidden});
}

}  // namespace

int pen_width(const TLineSeries& series) { return std::max(1, series.Width()); }

ChartLayout chart_layout(const ChartModel& model, const ChartFrame& frame, const AxisRange& xs, const AxisRange& ys,
                         const AxisRange& rs) {
    ChartLayout out;
    const QFontMetrics fm(frame.font);
    const int line = fm.height();
    const int width = frame.size.width();
    out.lineHeight = line;
    int top = kMargin;
    if (frame.titled) {
        out.title = QRect(0, top, width, line);
        top += line + kMargin;
    }

    int right = width - 1 - kMargin;
    out.legendItems = legend_items(model);
    fit_legend(out.legendItems, (frame.size.height() - kMargin - top - 8) / (line + 2));
    if (!out.legendItems.empty()) {
        int textWidth = 0;
        for (const LegendItem& item : out.legendItems) {
            textWidth = std::max(textWidth, fm.horizontalAdvance(QString::fromStdString(legend_text(model, item))));
        }
        const int w = 6 + kSwatch + 6 + textWidth + 6;
        const int h = 4 + static_cast<int>(out.legendItems.size()) * (line + 2) + 4;
        out.legend = QRect(right - w + 1, top, w, h);
        right = out.legend.left() - 1 - kMargin;
    }

    int bottom = frame.size.height() - 1 - kMargin - line - kTick - 2;
    if (frame.bottomTitled) bottom -= line + 2;

    // The side labels' width depends on their step, which depends on the
    // plot's height only.
    const int plotHeight = std::max(1, bottom - top + 1);
    auto labels_width = [&](const std::vector<double>& values, double step) {
        int widest = 0;
        for (double v : values) widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(label_text(v, step))));
        return widest;
    };
    out.yStep = label_step(ys, plotHeight, 2 * line, 0);
    out.yLabels = label_values(ys, out.yStep);
    const int left = kMargin + std::max(frame.leftLabelsLeast, labels_width(out.yLabels, out.yStep)) + 2 + kTick + 1;
    if (frame.rightAxis) {
        out.rightStep = label_step(rs, plotHeight, 2 * line, 0);
        out.rightLabels = label_values(rs, out.rightStep);
        right -= kTick + 2 + labels_width(out.rightLabels, out.rightStep) + 2;
    }

    out.plot = QRect(QPoint(left, top + 1), QPoint(std::max(left, right - 1), std::max(top + 1, bottom)));
    // Room for the series' pens only: an overlay's wider pen is cut at the plot's edge.
    int pad = 1;
    for (std::size_t i = 0; i < model.SeriesCount(); ++i) pad = std::max(pad, (pen_width(*model.Series(i)) + 1) / 2);
    out.data = out.plot.adjusted(pad, pad, -pad, -pad);
    if (out.data.width() < 1 || out.data.height() < 1) out.data = QRect(out.plot.center(), QSize(1, 1));

    out.xMap = AxisMap(xs, out.data.left(), out.data.right());
    out.yMap = AxisMap(ys, out.data.bottom(), out.data.top());
    if (frame.rightAxis) out.rightMap = AxisMap(rs, out.data.bottom(), out.data.top());

    // The bottom labels' width depends on their step and the step on their
    // width: a guess from the range's ends, then once more with the texts.
    auto x_step = [&](double base) {
        auto widest_at = [&](double step) {
            return std::max(fm.horizontalAdvance(QString::fromStdString(label_text(xs.lo, step))),
                            fm.horizontalAdvance(QString::fromStdString(label_text(xs.hi, step))));
        };
        const double guess = label_step(xs, out.data.width(), widest_at(1) + kLabelGap, base);
        return std::max(guess, label_step(xs, out.data.width(), widest_at(guess) + kLabelGap, base));
    };
    out.logX = frame.logX;
    if (frame.logX) {
        // The widest text is among the first and the last decade's.
        int widest = 0;
        for (double p : {xs.lo, xs.hi}) {
            for (double m : {1.0, 2.0, 5.0}) {
                const std::string text = log_label_text(std::floor(p) + std::log10(m));
                widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(text)));
            }
        }
        out.xLabels = log_label_values(xs, out.data.width(), widest + kLabelGap);
        return out;
    }
    out.xStep = x_step(frame.bottomIncrement);
    out.xLabels = label_values(xs, out.xStep);
    // Zoomed in to less than two increments, the labels take finer steps.
    if (out.xLabels.size() < 2 && frame.bottomIncrement > 0) {
        out.xStep = x_step(0);
        out.xLabels = label_values(xs, out.xStep);
    }
    return out;
}

std::string x_label_text(const ChartLayout& layout, double value) {
    return layout.logX ? log_label_text(value) : label_text(value, layout.xStep);
}

QRect legend_entry_rect(const ChartLayout& layout, std::size_t index) {
    const QRect& legend = layout.legend;
    if (legend.isNull() || index >= layout.legendItems.size()) return QRect();
    const int line = layout.lineHeight;
    return QRect(legend.left() + 1, legend.top() + 4 + static_cast<int>(index) * (line + 2), legend.width() - 2, line);
}

int legend_entry_at(const ChartLayout& layout, QPointF at) {
    const std::size_t count = layout.legendItems.size();
    const QRect& legend = layout.legend;
    if (legend.isNull() || !legend.contains(at.toPoint())) return -1;
    const int entry = (static_cast<int>(at.y()) - legend.top() - 4) / (layout.lineHeight + 2);
    return entry >= 0 && static_cast<std::size_t>(entry) < count ? entry : -1;
}
