#include "analysis/files/gain_file_section.h"

#include "core/measure/gain_set.h"
#include "toolkit/app/events.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"
#include "toolkit/sys/dialogs.h"
#include "io/gain_file.h"

#include <QHBoxLayout>
#include <QPushButton>

#include <string>

namespace {

constexpr const char* kFilter = "Gain files (*.ini);;All files (*)";

// An edit's value as a run reads it: not a number gives 0, and the low 16 bits are kept.
std::int16_t edit_value(const TLabeledEdit* edit) { return read_gain_text(edit->Text()).value; }

}  // namespace

GainFileSection::GainFileSection(const AnalysisHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* save = new QPushButton("Save gains\u2026", this);
    auto* load = new QPushButton("Load gains\u2026", this);
    row->addWidget(save);
    row->addWidget(load);
    row->addStretch(1);
    // Through FireEvent as every click handler: a failure shows in the error box.
    connect(save, &QPushButton::clicked, this, [this] { FireEvent([this](TObject*) { save_gains(); }, nullptr); });
    connect(load, &QPushButton::clicked, this, [this] { FireEvent([this](TObject*) { load_gains(); }, nullptr); });
}

GainSet GainFileSection::gains_in_edits() const {
    GainSet set;
    set.kp = edit_value(host_.kp);
    set.ki = edit_value(host_.ki);
    set.kd = edit_value(host_.kd);
    set.kv = edit_value(host_.kv);
    set.w = edit_value(host_.w);
    set.pos = edit_value(host_.pos);
    set.speedMode = host_.speedMode->Checked();
    return set;
}

void GainFileSection::save_gains() {
    const std::string path = PromptSaveFileName("Save gains", kFilter, "gains.ini");
    if (!path.empty()) SaveGainFile(path, gains_in_edits());
}

void GainFileSection::load_gains() {
    const std::string path = PromptOpenFileName("Load gains", kFilter);
    if (path.empty()) return;
    const GainSet set = LoadGainFile(path);  // throws, with nothing changed, on a bad file
    host_.kp->SetText(std::to_string(set.kp));
    host_.ki->SetText(std::to_string(set.ki));
    host_.kd->SetText(std::to_string(set.kd));
    host_.kv->SetText(std::to_string(set.kv));
    host_.w->SetText(std::to_string(set.w));
    host_.pos->SetText(std::to_string(set.pos));
    host_.speedMode->SetChecked(set.speedMode);
}
