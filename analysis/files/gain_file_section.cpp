#include "analysis/files/gain_file_section.h"

#include "analysis/live/gain_edits.h"
#include "core/measure/gain_set.h"
#include "io/gain_file.h"
#include "toolkit/app/events.h"
#include "toolkit/sys/dialogs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <string>

namespace {

constexpr const char* kFilter = "Gain files (*.ini);;All files (*)";
constexpr const char* kFolder = "Gain files";  // saving and loading start in one folder

}  // namespace

GainFileSection::GainFileSection(const AnalysisHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setObjectName("gainFiles");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* save = new QPushButton("Save gains\u2026", this);
    auto* load = new QPushButton("Load gains\u2026", this);
    undo_ = new QToolButton(this);
    undo_->setObjectName("undoGains");
    undo_->setText("Undo");
    undo_->setPopupMode(QToolButton::MenuButtonPopup);
    undo_->setMenu(new QMenu(undo_));
    undo_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    grid->addWidget(save, 0, 0);
    grid->addWidget(load, 0, 1);
    grid->addWidget(undo_, 0, 2);
    grid->setColumnStretch(3, 1);
    last_ = new QLabel(this);
    last_->setWordWrap(true);
    last_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Two lines whatever it says, so that nothing below moves.
    last_->setMinimumHeight(2 * last_->fontMetrics().lineSpacing());
    grid->addWidget(last_, 1, 0, 1, 4);
    // Through FireEvent as every click handler: a failure shows in the error box.
    connect(save, &QPushButton::clicked, this, [this] { FireEvent([this](TObject*) { save_gains(); }, nullptr); });
    connect(load, &QPushButton::clicked, this, [this] { FireEvent([this](TObject*) { load_gains(); }, nullptr); });
    connect(undo_, &QToolButton::clicked, this, [this] { host_.gains->undo(); });
    host_.gains->onHistoryChange = [this] { follow_history(); };
    follow_history();
}

GainFileSection::~GainFileSection() { host_.gains->onHistoryChange = nullptr; }

QString GainFileSection::last_text() const { return last_->text(); }

void GainFileSection::save_gains() {
    const std::string path = PromptSaveFileName("Save gains", kFilter, "gains.ini", kFolder);
    if (!path.empty()) SaveGainFile(path, host_.gains->set());
}

void GainFileSection::load_gains() {
    const std::string path = PromptOpenFileName("Load gains", kFilter, kFolder);
    if (path.empty()) return;
    const GainSet set = LoadGainFile(path);  // throws, with nothing changed, on a bad file
    host_.gains->apply(set, QFileInfo(QString::fromStdString(path)).fileName().toStdString());
}

// The button and its menu follow the history: newest first, each entry the
// edits before a set came in and where that set came from.
void GainFileSection::follow_history() {
    const auto& history = host_.gains->history();
    undo_->setEnabled(!history.empty());
    QMenu* menu = undo_->menu();
    menu->clear();
    for (std::size_t i = history.size(); i-- > 0;) {
        const QString text = QString::fromStdString("Before " + history[i].source + ": " +
                                                    gain_texts_summary(history[i].before));
        menu->addAction(text, this, [this, i] { host_.gains->undo_to(i); });
    }
    if (history.empty()) {
        undo_->setToolTip("Nothing to undo: the panel has put no gains into the edits");
        last_->setText("Map cells, Find gains and loaded files fill the edits; Undo (or Ctrl+Z in an edit) takes it back.");
        return;
    }
    const GainEdits::Applied& latest = history.back();
    undo_->setToolTip(QString::fromStdString("Back to " + gain_texts_summary(latest.before) + " (Ctrl+Z in an edit)"));
    last_->setText(QString::fromStdString("Last put in: " + latest.source + ". Undo gives back " +
                                          gain_texts_summary(latest.before) + "."));
}
