#pragma once
// "Pause", "Next pass" and "Resume" for a running regulation, and the same
// from the keyboard while the chart has the focus: Space pauses and resumes,
// the right arrow runs one pass.
#include <QPointer>
#include <QWidget>

class QPushButton;
class RunFeed;

class RunControlSection : public QWidget {
public:
    // Listens to the keys of `chart` (given the click focus here).
    RunControlSection(RunFeed& feed, QWidget* chart, QWidget* parent = nullptr);
    ~RunControlSection() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow_hold();

    RunFeed& feed_;
    QPointer<QWidget> chart_;
    int subscription_;
    QPushButton* pause_;
    QPushButton* next_;
    QPushButton* resume_;
};
