#pragma once
// The side panel beside the window: a column of titled sections, with the
// chart's mouse gestures stated underneath.
#include <QWidget>

#include <functional>

class QScrollArea;
class QString;
class QVBoxLayout;

class AnalysisPanel : public QWidget {
public:
    explicit AnalysisPanel(QWidget* parent = nullptr);

    // Adds a titled section under the ones there; the panel takes `content`.
    void add_section(const QString& title, QWidget* content);

    // The panel's width in pixels at first; the window widens by it. Its
    // left edge is a handle: a drag there asks for another width, between
    // the two limits.
    static constexpr int kWidth = 400;
    static constexpr int kMinWidth = 300;
    static constexpr int kMaxWidth = 900;
    std::function<void(int width)> widthAsked;
    // The least width at which no section is cut and no sideways scrolling
    // is needed, in the panel's font (at least kWidth, at most kMaxWidth):
    // the width it opens at until the user drags another.
    int first_width() const;

    // Combo boxes and spin boxes inside take the wheel only with the focus:
    // elsewhere the wheel scrolls the panel. Applies to those made so far.
    void keep_wheel_for_scrolling();
    QScrollArea* scroll_area() const { return scroll_; }
    // Told the height of the panel's visible part whenever it changes.
    std::function<void(int height)> viewportResized;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Handle;
    class Scroll;
    QVBoxLayout* sections_;
    QScrollArea* scroll_;
};
