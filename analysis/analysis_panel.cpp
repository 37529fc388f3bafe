#include "analysis/analysis_panel.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QString>
#include <QVBoxLayout>

AnalysisPanel::AnalysisPanel(QWidget* parent) : QWidget(parent) {
    resize(kWidth, height());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* column = new QWidget(scroll);
    sections_ = new QVBoxLayout(column);
    sections_->setContentsMargins(0, 0, 0, 0);
    sections_->setSpacing(6);
    sections_->addStretch(1);
    scroll->setWidget(column);
    outer->addWidget(scroll, 1);

    auto* gestures = new QLabel("Wheel zoom, Shift/Ctrl+wheel X/Y only, drag pan, double-click fit", this);
    outer->addWidget(gestures);
    auto* units = new QLabel("Gains are in hundredths: Kp 250 is a factor of 2.5.", this);
    outer->addWidget(units);
}

void AnalysisPanel::add_section(const QString& title, QWidget* content) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(content);
    // Sections stack from the top; the stretch stays last.
    sections_->insertWidget(sections_->count() - 1, box);
}
