#include "analysis/live/insight_section.h"

#include "analysis/live/edit_tints.h"
#include "analysis/live/gain_edits.h"
#include "analysis/live/event_lanes.h"
#include "analysis/live/twin_overlay.h"
#include "analysis/live/run_feed.h"
#include "toolkit/app/control.h"
#include "toolkit/chart/chart.h"
#include "toolkit/controls/labeled_edit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QString percent(double share) { return QString::number(share * 100.0, 'f', 0) + " %"; }

QLabel* swatch(QColor color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFixedSize(10, 10);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, color);
    label->setPalette(palette);
    return label;
}

}  // namespace

InsightSection::InsightSection(const AnalysisHost& host, EditChanges& edits, QWidget* parent)
    : QWidget(parent), host_(host), tints_(std::make_unique<EditTints>(edits, *host.gains)) {
    setObjectName(kObjectName);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    auto* toggles = new QHBoxLayout;
    lanesBox_ = new QCheckBox("Event lanes", this);
    twinBox_ = new QCheckBox("Twin", this);
    differenceBox_ = new QCheckBox("v - twin", this);
    lanesBox_->setToolTip("A strip under the plot: a tick at each pass that wrapped or hit a limit");
    twinBox_->setToolTip("The real-valued twin of the run: no wrap, no truncation, same limits");
    differenceBox_->setToolTip("The integer speed minus the twin's speed, a faded solid line");
    for (QCheckBox* box : {lanesBox_, twinBox_, differenceBox_}) toggles->addWidget(box);
    column->addLayout(toggles);
    connect(lanesBox_, &QCheckBox::toggled, this, [this](bool on) { set_lanes_shown(on); });
    connect(twinBox_, &QCheckBox::toggled, this, [this](bool on) { set_twin_shown(on); });
    connect(differenceBox_, &QCheckBox::toggled, this, [this](bool on) { set_difference_shown(on); });

    // Headroom: the largest share of its 16-bit range each loop's weighted
    // sum has needed, and of its clamp the error sum.
    auto* headroom = new QGridLayout;
    headroom->setHorizontalSpacing(10);
    headroom->setVerticalSpacing(0);
    auto* title = new QLabel("Headroom", this);
    title->setToolTip("Per loop, the run's largest |P + I + D| against 32767 (beyond 100 % it wrapped) "
                      "and its largest |eSum| against the clamp at 255");
    headroom->addWidget(title, 0, 0);
    headroom->addWidget(new QLabel("P+I+D", this), 0, 1, Qt::AlignRight);
    headroom->addWidget(new QLabel("eSum", this), 0, 2, Qt::AlignRight);
    for (int loop = 0; loop < 2; ++loop) {
        headroom->addWidget(new QLabel(loop == 0 ? "speed loop" : "position loop", this), loop + 1, 0);
        for (int figure = 0; figure < 2; ++figure) {
            QLabel*& label = headroomLabels_[static_cast<std::size_t>(loop * 2 + figure)];
            label = new QLabel(this);
            headroom->addWidget(label, loop + 1, figure + 1, Qt::AlignRight);
        }
    }
    column->addLayout(headroom);

    // The counts in a smaller type, so that both columns fit the panel.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(0);
    for (int event = 0; event < kRegulationEventCount; ++event) {
        // Speed events in the left column, position events in the right, the
        // three limits below.
        const int row = event < 8 ? event % 4 : 4 + (event - 8) % 2;
        const int col = event < 8 ? (event / 4) * 3 : ((event - 8) / 2) * 3;
        grid->addWidget(swatch(EventLanes::lane_color(event), this), row, col);
        auto* name = new QLabel(regulation_event_name(event), this);
        name->setFont(small);
        grid->addWidget(name, row, col + 1);
        counts_[static_cast<std::size_t>(event)] = new QLabel("0", this);
        counts_[static_cast<std::size_t>(event)]->setFont(small);
        counts_[static_cast<std::size_t>(event)]->setAlignment(Qt::AlignRight);
        grid->addWidget(counts_[static_cast<std::size_t>(event)], row, col + 2);
    }
    column->addLayout(grid);
    show_headroom();

    for (std::size_t index = 0; index < GAIN_SET_FIELDS.size(); ++index) tints_->watch(index);

    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo& start) { on_start(start); };
    listener.onPass = [this](const RunPassInfo& pass) { on_pass(pass); };
    subscription_ = host_.feed->subscribe(std::move(listener));
}

InsightSection::~InsightSection() {
    host_.feed->unsubscribe(subscription_);
    set_lanes_shown(false);
    overlay_.reset();
    delete lanes_.data();
}

void InsightSection::on_start(const RunStartInfo&) {
    headroom_.reset();
    if (lanes_) lanes_->clear();
    if (overlay_) overlay_->clear();
    show_headroom();
}

void InsightSection::on_pass(const RunPassInfo& pass) {
    headroom_.add(pass.events);
    if (!lanes_) lanes_ = new EventLanes(*host_.chart, host_.chartPage ? host_.chartPage->Widget() : nullptr);
    lanes_->add_pass(pass.pass, pass.runTime, pass.events);
    if (!overlay_) overlay_ = std::make_unique<TwinOverlay>(*host_.chart);
    overlay_->add_pass(pass);
    show_headroom();
}

void InsightSection::set_lanes_shown(bool shown) {
    if (!host_.chartPage) return;
    if (shown && !lanes_) lanes_ = new EventLanes(*host_.chart, host_.chartPage->Widget());
    if (!lanes_) return;
    if (lanesBox_->isChecked() != shown) lanesBox_->setChecked(shown);
    if (shown) {
        // Bottom-aligned in the chart's page: the chart gives up the room.
        host_.chartPage->PlaceWidget(lanes_, 0, 0, host_.chart->Widget()->width(), EventLanes::kHeight, alBottom);
        lanes_->show();
    } else {
        lanes_->hide();
        host_.chartPage->PlaceWidget(lanes_, 0, 0, 0, 0, alNone);
    }
}

void InsightSection::set_twin_shown(bool shown) {
    if (twinBox_->isChecked() != shown) twinBox_->setChecked(shown);
    if (!overlay_) overlay_ = std::make_unique<TwinOverlay>(*host_.chart);
    overlay_->set_shown(shown, differenceBox_->isChecked());
}

void InsightSection::set_difference_shown(bool shown) {
    if (differenceBox_->isChecked() != shown) differenceBox_->setChecked(shown);
    if (!overlay_) overlay_ = std::make_unique<TwinOverlay>(*host_.chart);
    overlay_->set_shown(twinBox_->isChecked(), shown);
}

void InsightSection::show_headroom() {
    const double shares[] = {headroom_.speed_weighted_share(), headroom_.speed_sum_share(),
                             headroom_.position_weighted_share(), headroom_.position_sum_share()};
    for (std::size_t i = 0; i < headroomLabels_.size(); ++i) headroomLabels_[i]->setText(percent(shares[i]));
    for (int event = 0; event < kRegulationEventCount; ++event) {
        counts_[static_cast<std::size_t>(event)]->setText(
            QString::number(static_cast<qulonglong>(headroom_.counts[static_cast<std::size_t>(event)])));
    }
}
