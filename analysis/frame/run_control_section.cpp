#include "analysis/frame/run_control_section.h"

#include "analysis/live/run_feed.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

RunControlSection::RunControlSection(RunFeed& feed, QWidget* chart, QWidget* parent)
    : QWidget(parent), feed_(feed), chart_(chart) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    pause_ = new QPushButton("Pause", this);
    next_ = new QPushButton("Next pass", this);
    resume_ = new QPushButton("Resume", this);
    for (QPushButton* b : {pause_, next_, resume_}) row->addWidget(b);
    connect(pause_, &QPushButton::clicked, this, [this] { feed_.pause(); });
    connect(next_, &QPushButton::clicked, this, [this] { feed_.next_pass(); });
    connect(resume_, &QPushButton::clicked, this, [this] { feed_.resume(); });

    feed_.onHoldChange = [this] { follow_hold(); };
    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo&) { follow_hold(); };
    listener.onEnd = [this] { follow_hold(); };
    subscription_ = feed_.subscribe(std::move(listener));
    follow_hold();

    if (chart_) {
        chart_->setFocusPolicy(Qt::ClickFocus);
        chart_->installEventFilter(this);
    }
}

RunControlSection::~RunControlSection() {
    feed_.onHoldChange = nullptr;
    feed_.unsubscribe(subscription_);
    if (chart_) chart_->removeEventFilter(this);
}

void RunControlSection::follow_hold() {
    const bool going = feed_.runs_going() > 0;
    pause_->setEnabled(going && !feed_.paused());
    next_->setEnabled(going);
    resume_->setEnabled(going && feed_.paused());
}

bool RunControlSection::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chart_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Space) {
                if (feed_.paused()) {
                    feed_.resume();
                } else {
                    feed_.pause();
                }
                return true;
            }
            if (key->key() == Qt::Key_Right) {
                feed_.next_pass();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
