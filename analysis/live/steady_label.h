#pragma once
// A word-wrapped label that keeps room for at least `lines` lines and, while
// its width stays, never gives back room a text of it once took: a new
// status text moves nothing below it. Its width follows its layout.
#include <QLabel>

class SteadyLabel : public QLabel {
public:
    explicit SteadyLabel(int lines, QWidget* parent = nullptr);
    SteadyLabel(int lines, const QString& text, QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int lines_;
    mutable int width_ = -1;   // the width the room below was taken at
    mutable int tallest_ = 0;  // the most room a text has taken at that width
};

class QAbstractButton;
// Turns `from` off and `to` on ("Start" while "Cancel" comes on), the focus
// going along when `from` had it, so that it lands next door rather than
// wherever the tab order leads.
void swap_buttons(QAbstractButton* from, QAbstractButton* to);
