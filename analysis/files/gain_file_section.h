#pragma once
// "Save gains..." and "Load gains...": the edits and the mode check box to
// and from a gain file. Loading fills them and starts nothing; a file that
// cannot be taken whole changes nothing and shows why.
#include "analysis/live/analysis_host.h"

#include <QWidget>

struct GainSet;

class GainFileSection : public QWidget {
public:
    GainFileSection(const AnalysisHost& host, QWidget* parent = nullptr);

    void save_gains();
    void load_gains();

private:
    GainSet gains_in_edits() const;
    AnalysisHost host_;
};
