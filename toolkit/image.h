#pragma once
// Image control: shows its canvas' bitmap.
#include "toolkit/canvas.h"

#include <memory>

class QWidget;
class ImageWidget;

class TImage {
public:
    explicit TImage(QWidget* parent);
    ~TImage();
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    QWidget* Widget() const;
    // The bitmap is made at the first call, with the control's size then,
    // and keeps that size.
    TCanvas* Canvas();
    bool HasCanvas() const;
    // Shows the bitmap at once.
    void Repaint();

private:
    ImageWidget* widget_;
    std::unique_ptr<TCanvas> canvas_;
};
