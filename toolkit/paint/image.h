#pragma once
// Image control: shows its canvas' bitmap at its top-left corner, or
// magnified where the user zoomed and panned it (see image_view.h).
#include "toolkit/paint/canvas.h"
#include "toolkit/paint/image_view.h"

#include <memory>

class QWidget;
class TPopupMenu;

class TImage {
public:
    explicit TImage(QWidget* parent);
    ~TImage();
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    QWidget* Widget() const;
    // Shows `menu` on a right-click; the menu must outlive the image.
    void SetPopupMenu(TPopupMenu* menu);
    // The bitmap is made at the first call, with the control's size then,
    // and keeps that size; drawing beyond it is clipped.
    TCanvas* Canvas();
    bool HasCanvas() const;
    // The bitmap's size, or the size it would get if made now.
    int BitmapWidth() const;
    int BitmapHeight() const;
    // Shows the bitmap at once: paints every part changed since the last
    // paint. Drawing otherwise shows at the next message pump (the canvas
    // schedules a paint of the part it changed).
    void Repaint();

    // How the bitmap is shown; the bitmap and what is saved of it stay as
    // drawn.
    ImageView View() const;
    // Back to the bitmap unmagnified at the top-left, as a double-click does.
    void ShowAll();

    // From now on the canvas also keeps an overview of `area` (canvas
    // coordinates, reaching beyond the bitmap), reduced by the smallest
    // whole factor that lets it show whole in the control as it is now.
    void KeepOverview(const TRect& area);
    // Shows `area` (canvas coordinates) whole: where it lies within the
    // bitmap, magnified by the largest factor that fits and centred; else
    // the overview, centred, when it holds the area. Either way a click
    // (not a drag), the wheel or a double-click goes back to the bitmap
    // shown whole. False when it cannot.
    bool ShowArea(const TRect& area);
    bool ShowsOverview() const;

private:
    struct Link;                  // a guarded pointer to the widget, which its Qt parent owns
    std::unique_ptr<Link> link_;
    std::unique_ptr<TCanvas> canvas_;
};
