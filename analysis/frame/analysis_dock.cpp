#include "analysis/frame/analysis_dock.h"

#include "analysis/frame/analysis_panel.h"
#include "analysis/kept/cursor_section.h"
#include "analysis/live/edit_changes.h"
#include "analysis/live/gain_edits.h"
#include "analysis/files/gain_file_section.h"
#include "analysis/search/find_gains_section.h"
#include "analysis/response/response_section.h"
#include "analysis/map/gain_map_section.h"
#include "analysis/live/insight_section.h"
#include "analysis/kept/kept_runs_section.h"
#include "analysis/kept/kept_runs_table.h"
#include "analysis/live/metrics_section.h"
#include "analysis/frame/run_control_section.h"
#include "analysis/live/setpoint_line.h"
#include "toolkit/chart/chart.h"
#include "toolkit/app/form.h"
#include "toolkit/controls/popup_menu.h"
#include "toolkit/sys/settings.h"
#include "toolkit/sys/sysutils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QKeySequence>
#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <QScreen>
#include <QShortcut>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace {

constexpr const char* kOpenKey = "panel/open";
constexpr const char* kWidthKey = "panel/width";
// The window beside the open panel, kept for a restart that opens it again:
// its place and the page's size (the designed window, panel closed, always
// starts as designed).
constexpr const char* kPlaceKey = "window/place";

// Without a window manager (or with one that ignores the least size asked
// for) the window can still be made narrower: it grows back at once.
class KeepLeastWidth : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Resize && window->width() < window->minimumWidth()) {
            QTimer::singleShot(0, window, [window] {
                if (window->width() < window->minimumWidth()) window->resize(window->minimumWidth(), window->height());
            });
        }
        return false;
    }
};

}  // namespace

AnalysisDock::AnalysisDock(const AnalysisHost& host) : host_(host), record_(*host.feed) {
    gains_ = std::make_unique<GainEdits>(host_);
    host_.gains = gains_.get();
    designedWidth_ = host_.form->Widget()->width();
    screenArea_ = [this]() -> QRect {
        const QScreen* screen = host_.form->Widget()->screen();
        return screen ? screen->availableGeometry() : QRect();
    };
    shortcut_ = new QShortcut(QKeySequence(Qt::Key_F9), host_.form->Widget());
    shortcut_->setContext(Qt::WindowShortcut);
    host_.form->Widget()->installEventFilter(new KeepLeastWidth(shortcut_));
    QObject::connect(shortcut_, &QShortcut::activated, shortcut_, [this] { toggle(); });
    TPopupMenu& menu = *host_.chartMenu;
    menu.AddItem(kMenuCaption, [this](TObject*) { toggle(); });
    menu.AddItem(kCursorACaption, [this](TObject*) { place_cursor(0); });
    menu.AddItem(kCursorBCaption, [this](TObject*) { place_cursor(1); });
    menu.AddItem(kRemoveCursorsCaption, [this](TObject*) {
        host_.chart->SetCursor(0, std::nullopt);
        host_.chart->SetCursor(1, std::nullopt);
    });
    menu.AddItem(kFitCaption, [this](TObject*) { host_.chart->FitToData(); });
    menu.AddItem(kRightAxisCaption, [this](TObject*) { host_.chart->SetRightAxis(!host_.chart->RightAxis()); });

    // A run's end fits the axes to what it drew (an inner run's end leaves
    // the outer run's growing axes alone).
    RunFeed::Listener listener;
    listener.onEnd = [this] {
        if (host_.feed->runs_going() == 0) host_.chart->FitToData();
    };
    subscription_ = host_.feed->subscribe(std::move(listener));
}

AnalysisDock::~AnalysisDock() {
    keep_window_place();
    host_.feed->unsubscribe(subscription_);
    delete panel_;
    setpoint_.reset();
    gains_.reset();
    delete shortcut_;
}

// At the place the chart's menu was opened; the readout is in the panel.
void AnalysisDock::place_cursor(int which) {
    host_.chart->SetCursor(which, host_.chart->XAtPixel(host_.chartMenu->PopupX()));
    open();
}

std::vector<AnalysisDock::KeptLine> AnalysisDock::kept_lines() const {
    std::vector<KeptLine> lines;
    if (!keptRuns_) return lines;
    for (const KeptRunsSection::KeptRun& run : keptRuns_->kept()) {
        for (std::size_t s = 0; s < run.lines.size(); ++s) {
            if (run.lines[s]) lines.push_back({kept_run_name(run) + ": " + run.titles[s], run.lines[s]});
        }
    }
    return lines;
}

void AnalysisDock::program_chosen() {
    if (map_) map_->program_chosen();
}

bool AnalysisDock::is_open() const { return panel_ && !panel_->isHidden(); }

void AnalysisDock::toggle() {
    if (is_open()) {
        close();
    } else {
        open();
    }
}

int AnalysisDock::fitting_width(int asked, int page) const {
    int width = std::clamp(asked, AnalysisPanel::kMinWidth, AnalysisPanel::kMaxWidth);
    const QRect area = screenArea_ ? screenArea_() : QRect();
    if (area.isValid()) {
        const QWidget* window = host_.form->Widget();
        const int frame = window->frameGeometry().width() - window->width();
        // A screen too small for the page and the panel's least width: the
        // page keeps its width, the panel its least, and the window reaches
        // past the screen's right edge.
        width = std::max(AnalysisPanel::kMinWidth, std::min(width, area.width() - frame - page));
    }
    return width;
}

void AnalysisDock::keep_on_screen() {
    const QRect area = screenArea_ ? screenArea_() : QRect();
    QWidget* window = host_.form->Widget();
    const int beyond = window->frameGeometry().right() - area.right();
    if (!area.isValid() || beyond <= 0) return;
    const QPoint to(std::max(area.left(), window->x() - beyond), window->y());
    window->move(to);
    movedTo_ = to;
}

void AnalysisDock::open() {
    if (is_open()) return;
    if (!panel_) build_panel();
    QWidget* window = host_.form->Widget();
    minWidthClosed_ = window->minimumWidth();
    closedSize_ = window->size();
    closedPlace_ = window->pos();
    movedTo_.reset();
    pageAtOpen_ = std::max(window->width(), designedWidth_);
    const int width = fitting_width(widthChosen_ ? panel_->width() : panel_->first_width(), pageAtOpen_);
    panel_->resize(width, panel_->height());
    panel_->show();
    panel_->keep_wheel_for_scrolling();
    window->setMinimumWidth(designedWidth_ + width);
    window->resize(pageAtOpen_ + width, window->height());
    keep_on_screen();
    host_.form->Realign();
    WriteSetting(kOpenKey, "1");
}

void AnalysisDock::close() {
    if (!is_open()) return;
    keep_window_place();
    QWidget* window = host_.form->Widget();
    const int page = window->width() - panel_->width();
    panel_->hide();
    window->setMinimumWidth(minWidthClosed_);
    // The window as it was, unless the user has resized it since: then the page as it is now.
    if (page == pageAtOpen_) {
        window->resize(closedSize_.width(), window->height());
    } else {
        window->resize(page, window->height());
    }
    if (movedTo_ && window->pos() == *movedTo_) window->move(closedPlace_);
    movedTo_.reset();
    host_.form->Realign();
    WriteSetting(kOpenKey, "0");
}

// While the panel is open: where the window is and how big its page.
void AnalysisDock::keep_window_place() const {
    if (!is_open()) return;
    const QWidget* window = host_.form->Widget();
    WriteSetting(kPlaceKey, std::to_string(window->x()) + "," + std::to_string(window->y()) + "," +
                                std::to_string(window->width() - panel_->width()) + "," +
                                std::to_string(window->height()));
}

// The panel as the user left it: open or not, its width, and with it the
// window's place and size and the edits' texts.
void AnalysisDock::restore() {
    if (ReadSetting(kOpenKey) != "1") return;
    if (!panel_) build_panel();
    const std::string width = ReadSetting(kWidthKey);
    if (!width.empty()) set_panel_width(ParseIntDefault(width, AnalysisPanel::kWidth));
    gains_->restore_texts();
    QWidget* window = host_.form->Widget();
    const QStringList place = QString::fromStdString(ReadSetting(kPlaceKey)).split(',');
    if (place.size() == 4) {
        const int x = place[0].toInt(), y = place[1].toInt();
        const int page = std::max(designedWidth_, place[2].toInt());
        const int height = std::max(window->minimumHeight(), place[3].toInt());
        window->resize(page, height);
        QRect area = screenArea_ ? screenArea_() : QRect();
        // Within the screen as it is now (it may be another one).
        if (area.isValid()) {
            window->move(std::clamp(x, area.left(), std::max(area.left(), area.right() - page)),
                         std::clamp(y, area.top(), std::max(area.top(), area.bottom() - height)));
        } else {
            window->move(x, y);
        }
    }
    open();
}

void AnalysisDock::set_panel_width(int width) {
    if (!panel_) return;
    width = std::clamp(width, AnalysisPanel::kMinWidth, AnalysisPanel::kMaxWidth);
    WriteSetting(kWidthKey, std::to_string(width));
    widthChosen_ = true;
    if (!is_open()) {
        panel_->resize(width, panel_->height());
        return;
    }
    QWidget* window = host_.form->Widget();
    const int page = window->width() - panel_->width();
    width = fitting_width(width, page);
    panel_->resize(width, panel_->height());
    window->setMinimumWidth(designedWidth_ + width);
    window->resize(page + width, window->height());
    keep_on_screen();
    host_.form->Realign();
}

namespace {

// Choices in the panel that a restart keeps, each under "panel/" and its
// name: the map's axes, then its ranges (an axis may move them), its metric,
// and "Keep runs". A choice in a list is kept by its key (the item's data:
// "kp", "iae"), never by the words shown for it. Read back once the panel is
// made, then written on change.
void remember_choices(QWidget* panel) {
    const auto key = [](const QString& name) { return "panel/" + name.toStdString(); };
    if (QWidget* map = panel->findChild<QWidget*>("gainMap")) {
        for (const char* name : {"xGain", "yGain", "metric"}) {
            auto* box = map->findChild<QComboBox*>(name);
            if (!box) continue;
            // Kept by key (a column's name); a setting written before by its label still reads.
            const QString setting = QString::fromStdString(ReadSetting(key(name)));
            const int kept = box->findData(setting) >= 0 ? box->findData(setting) : box->findText(setting);
            if (kept >= 0) box->setCurrentIndex(kept);
            QObject::connect(box, &QComboBox::currentIndexChanged, box, [box, k = key(name)] {
                WriteSetting(k, box->currentData().toString().toStdString());
            });
        }
        // A map that follows the edits moves its ranges at every keystroke:
        // they are written a moment after the last move (writing the settings
        // file takes milliseconds), and when the panel goes.
        for (const char* name : {"xRange", "yRange"}) {
            auto* edit = map->findChild<QLineEdit*>(name);
            if (!edit) continue;
            const std::string kept = ReadSetting(key(name));
            if (!kept.empty()) edit->setText(QString::fromStdString(kept));
            auto* later = new QTimer(edit);
            later->setSingleShot(true);
            later->setInterval(500);
            auto pending = std::make_shared<std::optional<std::string>>();
            const auto write = [pending, k = key(name)] {
                if (*pending) WriteSetting(k, *std::exchange(*pending, std::nullopt));
            };
            QObject::connect(later, &QTimer::timeout, later, write);
            QObject::connect(later, &QObject::destroyed, write);
            QObject::connect(edit, &QLineEdit::textChanged, later, [later, pending](const QString& text) {
                *pending = text.toStdString();
                later->start();
            });
        }
    }
    if (auto* box = panel->findChild<QCheckBox*>("keepRuns")) {
        const std::string kept = ReadSetting(key("keepRuns"));
        if (!kept.empty()) box->setChecked(kept == "1");
        QObject::connect(box, &QCheckBox::toggled, box,
                         [k = key("keepRuns")](bool on) { WriteSetting(k, on ? "1" : "0"); });
    }
}

}  // namespace

void AnalysisDock::build_panel() {
    QWidget* window = host_.form->Widget();
    panel_ = new AnalysisPanel(window);
    // Should the window go first, the panel goes with it.
    QObject::connect(panel_, &QObject::destroyed, shortcut_, [this] {
        panel_ = nullptr;
        metrics_ = nullptr;
        keptRuns_ = nullptr;
        cursors_ = nullptr;
        keptTable_ = nullptr;
        map_ = nullptr;
    });
    panel_->hide();
    panel_->widthAsked = [this](int width) { set_panel_width(width); };
    editChanges_ = std::make_unique<EditChanges>(host_);
    gains_->attach(*editChanges_);
    metrics_ = new MetricsSection(*host_.feed, record_);
    panel_->add_section("Metrics of the run on the chart", metrics_);
    keptRuns_ = new KeptRunsSection(*host_.feed, record_, *host_.chart);
    panel_->add_section("Kept runs", keptRuns_);
    auto* table = keptTable_ = new KeptRunsTable(*keptRuns_, *host_.feed, record_);
    panel_->add_section("Kept runs side by side", table);
    cursors_ = new CursorSection(*host_.feed, *host_.chart, keptRuns_);
    panel_->add_section("Cursors", cursors_);
    keptRuns_->changed = [table, this] {
        table->refresh();
        if (cursors_) cursors_->refresh();
    };
    panel_->add_section("Run", new RunControlSection(*host_.feed, host_.chart->Widget()));
    panel_->add_section("Gains", new GainFileSection(host_));
    setpoint_ = std::make_unique<SetpointLine>(*host_.feed, *host_.chart);
    panel_->add_section(InsightSection::kTitle, new InsightSection(host_, *editChanges_));
    auto* map = map_ = new GainMapSection(host_, *editChanges_);
    panel_->add_section("Gain map", map);
    panel_->viewportResized = [map](int height) { map->fit_height(height); };
    panel_->add_section("Find gains", new FindGainsSection(host_));
    panel_->add_section(ResponseSection::kTitle, new ResponseSection(host_, *editChanges_));
    host_.form->PlaceWidget(panel_, window->width(), 0, AnalysisPanel::kWidth, window->height(), alRight);  // open() sizes it
    remember_choices(panel_);
}
