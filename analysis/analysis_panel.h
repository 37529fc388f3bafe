#pragma once
// The side panel beside the window: a column of titled sections, with the
// chart's mouse gestures stated underneath.
#include <QWidget>

class QString;
class QVBoxLayout;

class AnalysisPanel : public QWidget {
public:
    explicit AnalysisPanel(QWidget* parent = nullptr);

    // Adds a titled section under the ones there; the panel takes `content`.
    void add_section(const QString& title, QWidget* content);

    // The panel's width in pixels; the window widens by it.
    static constexpr int kWidth = 380;

private:
    QVBoxLayout* sections_;
};
