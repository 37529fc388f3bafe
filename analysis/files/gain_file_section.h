#pragma once
// "Gains": "Save gains...", "Load gains..." (the edits and the mode check
// box to and from a gain file, both prompts in one folder) and "Undo". Loading fills
// the edits and starts nothing; a file that cannot be taken whole changes
// nothing and shows why. "Undo" gives back the edits as they were before
// the latest set the panel put into them (a map cell, Find gains, a file);
// its menu lists the sets before each, with where the next came from.
#include "analysis/live/analysis_host.h"

#include <QWidget>

class QLabel;
class QToolButton;

class GainFileSection : public QWidget {
public:
    GainFileSection(const AnalysisHost& host, QWidget* parent = nullptr);
    ~GainFileSection() override;

    void save_gains();
    void load_gains();
    QToolButton* undo_button() const { return undo_; }
    QString last_text() const;

private:
    void follow_history();
    AnalysisHost host_;
    QToolButton* undo_;
    QLabel* last_;
};
