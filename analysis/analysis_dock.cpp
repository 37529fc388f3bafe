#include "analysis/analysis_dock.h"

#include "analysis/analysis_panel.h"
#include "analysis/gain_map_section.h"
#include "analysis/run_control_section.h"
#include "toolkit/chart/chart.h"
#include "toolkit/app/form.h"
#include "toolkit/controls/popup_menu.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

AnalysisDock::AnalysisDock(const AnalysisHost& host) : host_(host) {
    shortcut_ = new QShortcut(QKeySequence(Qt::Key_F9), host_.form->Widget());
    shortcut_->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut_, &QShortcut::activated, shortcut_, [this] { toggle(); });
    host_.chartMenu->AddItem(kMenuCaption, [this](TObject*) { toggle(); });
}

AnalysisDock::~AnalysisDock() {
    delete panel_;
    delete shortcut_;
}

bool AnalysisDock::is_open() const { return panel_ && !panel_->isHidden(); }

void AnalysisDock::toggle() {
    if (is_open()) {
        close();
    } else {
        open();
    }
}

void AnalysisDock::open() {
    if (is_open()) return;
    if (!panel_) build_panel();
    QWidget* window = host_.form->Widget();
    panel_->show();
    window->resize(window->width() + panel_->width(), window->height());
    host_.form->Realign();
}

void AnalysisDock::close() {
    if (!is_open()) return;
    QWidget* window = host_.form->Widget();
    panel_->hide();
    window->resize(window->width() - panel_->width(), window->height());
    host_.form->Realign();
}

void AnalysisDock::build_panel() {
    QWidget* window = host_.form->Widget();
    panel_ = new AnalysisPanel(window);
    // Should the window go first, the panel goes with it.
    QObject::connect(panel_, &QObject::destroyed, shortcut_, [this] { panel_ = nullptr; });
    panel_->hide();
    panel_->addSection("Run", new RunControlSection(*host_.feed, host_.chart->Widget()));
    panel_->addSection("Gain map", new GainMapSection(host_));
    host_.form->PlaceWidget(panel_, window->width(), 0, AnalysisPanel::kWidth, window->height(), alRight);
}
