#include "toolkit/controls/status_bar.h"

#include <QLabel>
#include <QStatusBar>

TStatusPanel::TStatusPanel(QLabel* label) : label_(label) {}

void TStatusPanel::SetText(const std::string& text) { label_->setText(QString::fromStdString(text)); }
std::string TStatusPanel::Text() const { return label_->text().toStdString(); }
int TStatusPanel::Width() const { return label_->width(); }
void TStatusPanel::SetFitText() {
    const int width = label_->width();
    label_->setMinimumWidth(width);
    label_->setMaximumWidth(QWIDGETSIZE_MAX);
}
QWidget* TStatusPanel::Widget() const { return label_; }

TStatusBar::TStatusBar(TComponent* owner, TWinControl* parent)
    : TControl(owner, parent, new QStatusBar(HostOf(parent))) {}

TStatusBar::~TStatusBar() = default;

TStatusPanel* TStatusBar::AddPanel(int width) {
    auto* bar = static_cast<QStatusBar*>(Widget());
    auto* label = new QLabel(bar);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setFixedWidth(width);
    bar->addWidget(label);
    panels_.push_back(std::make_unique<TStatusPanel>(label));
    return panels_.back().get();
}

TStatusPanel* TStatusBar::Panels(int index) const { return panels_.at(static_cast<std::size_t>(index)).get(); }

