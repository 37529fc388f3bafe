#include "toolkit/paint/image.h"

#include "toolkit/controls/popup_menu.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QWidget>

// Paints the canvas' bitmap at the top-left; what the bitmap does not cover
// (before the first use, or after the control grew) shows the background.
class ImageWidget : public QWidget {
public:
    explicit ImageWidget(QWidget* parent) : QWidget(parent) {
        // paintEvent covers every pixel itself: no erase before each paint.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    const TCanvas* canvas = nullptr;

    // A part of the bitmap changed: paint it at the next message pump.
    void changed(const QRect& r) {
        unpainted_ += r;
        update(r);
    }
    // Paints what changed since the last paint, at once. Repainting only
    // that keeps a forced repaint per animation step cheap (a whole-image
    // paint costs about 0.3 ms on an X display).
    void paintChangesNow() {
        if (!unpainted_.isEmpty()) repaint(unpainted_);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        unpainted_ -= event->region();
        QPainter painter(this);
        const QRect area = event->rect();
        QRect covered;
        if (canvas) {
            covered = area.intersected(QRect(0, 0, canvas->Width(), canvas->Height()));
            if (!covered.isEmpty()) painter.drawImage(covered.topLeft(), canvas->Bitmap(), covered);
        }
        const QRegion rest = QRegion(area).subtracted(QRegion(covered));
        for (const QRect& r : rest) painter.fillRect(r, palette().window());
    }

private:
    QRegion unpainted_;  // changed bitmap area not painted since
};

struct TImage::Link {
    QPointer<ImageWidget> widget;
};

TImage::TImage(QWidget* parent) : link_(std::make_unique<Link>()) { link_->widget = new ImageWidget(parent); }

TImage::~TImage() {
    // The widget may outlive this object inside its Qt parent, or go first.
    if (link_->widget) link_->widget->canvas = nullptr;
}

QWidget* TImage::Widget() const { return link_->widget; }

void TImage::SetPopupMenu(TPopupMenu* menu) { menu->AttachTo(link_->widget); }

bool TImage::HasCanvas() const { return canvas_ != nullptr; }

TCanvas* TImage::Canvas() {
    if (!canvas_) {
        ImageWidget* widget = link_->widget;
        canvas_ = widget ? std::make_unique<TCanvas>(widget->width(), widget->height()) : std::make_unique<TCanvas>(0, 0);
        canvas_->OnChange = [guard = QPointer<ImageWidget>(widget)](const TRect& r) {
            if (guard) guard->changed(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
        };
        if (widget) {
            widget->canvas = canvas_.get();
            widget->update();
        }
    }
    return canvas_.get();
}

void TImage::Repaint() {
    if (link_->widget) link_->widget->paintChangesNow();
}
