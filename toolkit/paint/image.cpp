#include "toolkit/paint/image.h"

#include "toolkit/app/application.h"
#include "toolkit/controls/popup_menu.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <optional>

// Paints the canvas' bitmap through the view (at the top-left, unmagnified,
// until the user zooms); what the bitmap does not cover (before the first
// use, or after the control grew) shows the background.
class ImageWidget : public QWidget {
public:
    explicit ImageWidget(QWidget* parent) : QWidget(parent) {
        // paintEvent covers every pixel itself: no erase before each paint.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    const TCanvas* canvas = nullptr;
    ImageView view;

    // A part of the bitmap changed: paint it at the next message pump.
    void changed(const QRect& r) {
        if (overview) return;  // the overview tells its own changes
        const QRect shown = QRect(view.x + r.x() * view.scale, view.y + r.y() * view.scale, r.width() * view.scale,
                                  r.height() * view.scale)
                                .intersected(rect());
        unpainted_ += shown;
        update(shown);
    }
    // Paints what changed since the last paint, at once. Repainting only
    // that keeps a forced repaint per animation step cheap (a whole-image
    // paint costs about 0.3 ms on an X display).
    void paintChangesNow() {
        if (!unpainted_.isEmpty()) repaint(unpainted_);
    }

    // Shows the canvas' overview instead of the bitmap, centred, until a
    // click, the wheel or a double-click.
    bool overview = false;
    QPoint overview_corner() const {
        const QImage* o = canvas ? canvas->Overview() : nullptr;
        return o ? QPoint((width() - o->width()) / 2, (height() - o->height()) / 2) : QPoint();
    }
    // Leaving the overview shows the whole bitmap.
    void show_overview(bool on) {
        if (overview == on) return;
        overview = on;
        view = ImageView{};
        unpainted_ = QRegion();
        update();
    }
    void overview_changed() {
        if (!overview) return;
        if (!canvas || !canvas->Overview()) return show_overview(false);
        unpainted_ = QRegion(rect());
        update();
    }

    // The view "Fit path" chose (ShowArea): a click, not a drag, goes back
    // to the whole bitmap, as a click leaves the overview.
    bool fitted = false;

    void set_view(const ImageView& next) {
        fitted = false;
        show_overview(false);
        const ImageView kept = clamp_image_view(next, sizes());
        if (kept == view) return;
        view = kept;
        unpainted_ = QRegion();
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        unpainted_ -= event->region();
        QPainter painter(this);
        const QRect area = event->rect();
        QRect covered;
        if (overview && canvas && canvas->Overview()) {
            paint_overview(painter, area);
            return;
        }
        if (canvas) {
            const QRect bitmapOnScreen(view.x, view.y, canvas->Width() * view.scale, canvas->Height() * view.scale);
            covered = area.intersected(bitmapOnScreen);
            if (!covered.isEmpty()) draw_bitmap(painter, covered);
        }
        const QRegion rest = QRegion(area).subtracted(QRegion(covered));
        for (const QRect& r : rest) painter.fillRect(r, palette().window());
    }

    void wheelEvent(QWheelEvent* event) override {
        show_overview(false);
        const QPoint delta = event->angleDelta();
        wheelEighths_ += delta.y() != 0 ? delta.y() : delta.x();
        const int notches = wheelEighths_ / 120;  // a notch is 120; touchpads send parts of one
        wheelEighths_ -= notches * 120;
        if (notches != 0) {
            const QPoint at = event->position().toPoint();
            set_view(zoom_image_view(view, notches, at.x(), at.y(), sizes()));
        }
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return event->ignore();
        show_overview(false);
        drag_ = Drag{event->position().toPoint(), view, false};
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!drag_ || !event->buttons().testFlag(Qt::LeftButton)) return event->ignore();
        const QPoint moved = event->position().toPoint() - drag_->from;
        if (!drag_->panning) {
            if (moved.manhattanLength() < QApplication::startDragDistance()) return;
            drag_->panning = true;
            setCursor(Qt::ClosedHandCursor);
        }
        set_view(pan_image_view(drag_->start, moved.x(), moved.y(), sizes()));
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return event->ignore();
        if (drag_ && drag_->panning) unsetCursor();
        if (drag_ && !drag_->panning && fitted) set_view(ImageView{});
        drag_.reset();
        event->accept();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return event->ignore();
        drag_.reset();
        set_view(ImageView{});
        event->accept();
    }
    void resizeEvent(QResizeEvent*) override { set_view(view); }

private:
    struct Drag {
        QPoint from;       // where the button went down
        ImageView start;   // the view then
        bool panning;      // moved far enough to be a pan, not a click
    };

    // The overview at one screen pixel per overview pixel, with a grey frame
    // around the part the bitmap holds.
    void paint_overview(QPainter& painter, const QRect& area) {
        const QImage& o = *canvas->Overview();
        const QPoint corner = overview_corner();
        painter.fillRect(area, palette().window());
        painter.drawImage(corner, o);
        const TRect a = canvas->OverviewArea();
        const int r = canvas->OverviewReduction();
        const QRect bitmap(corner.x() + image_view_bitmap_at(0, a.Left, r), corner.y() + image_view_bitmap_at(0, a.Top, r),
                           (canvas->Width() + r - 1) / r, (canvas->Height() + r - 1) / r);
        painter.setPen(QColor(160, 160, 160));
        painter.drawRect(bitmap.adjusted(-1, -1, 0, 0));
    }

    ImageSizes sizes() const {
        return {canvas ? canvas->Width() : width(), canvas ? canvas->Height() : height(), width(), height()};
    }

    // The part `target` of the screen, each bitmap pixel a square of
    // view.scale pixels: the covered bitmap pixels are enlarged by pixel
    // repetition, never smoothed.
    void draw_bitmap(QPainter& painter, const QRect& target) {
        const QImage& bitmap = canvas->Bitmap();
        if (view.scale == 1) {
            painter.drawImage(target.topLeft(), bitmap, target.translated(-view.x, -view.y));
            return;
        }
        const int s = view.scale;
        const int left = image_view_bitmap_at(target.left(), view.x, s);
        const int top = image_view_bitmap_at(target.top(), view.y, s);
        const int right = image_view_bitmap_at(target.right(), view.x, s);
        const int bottom = image_view_bitmap_at(target.bottom(), view.y, s);
        const QRect source = QRect(QPoint(left, top), QPoint(right, bottom)).intersected(bitmap.rect());
        if (source.isEmpty()) return;
        const QImage part = bitmap.copy(source);
        QImage magnified(source.width() * s, source.height() * s, part.format());
        for (int y = 0; y < magnified.height(); ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(part.constScanLine(y / s));
            auto* to = reinterpret_cast<QRgb*>(magnified.scanLine(y));
            for (int x = 0; x < magnified.width(); ++x) to[x] = from[x / s];
        }
        const QPoint corner(view.x + source.left() * s, view.y + source.top() * s);
        painter.drawImage(target.topLeft(), magnified, target.translated(-corner));
    }

    QRegion unpainted_;  // changed screen area not painted since
    std::optional<Drag> drag_;
    int wheelEighths_ = 0;  // wheel turn not yet a whole notch
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

int TImage::BitmapWidth() const {
    if (canvas_) return canvas_->Width();
    return link_->widget ? link_->widget->width() : 0;
}

int TImage::BitmapHeight() const {
    if (canvas_) return canvas_->Height();
    return link_->widget ? link_->widget->height() : 0;
}

TCanvas* TImage::Canvas() {
    if (!canvas_) {
        ImageWidget* widget = link_->widget;
        canvas_ = widget ? std::make_unique<TCanvas>(widget->width(), widget->height()) : std::make_unique<TCanvas>(0, 0);
        canvas_->OnChange = [guard = QPointer<ImageWidget>(widget)](const TRect& r) {
            if (guard) guard->changed(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
        };
        canvas_->OnOverviewChange = [guard = QPointer<ImageWidget>(widget)] {
            if (guard) guard->overview_changed();
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

ImageView TImage::View() const { return link_->widget ? link_->widget->view : ImageView{}; }

void TImage::ShowAll() {
    if (link_->widget) link_->widget->set_view(ImageView{});
}

void TImage::KeepOverview(const TRect& area) {
    ImageWidget* widget = link_->widget;
    const long long w = std::max(widget ? widget->width() : 1, 1);
    const long long h = std::max(widget ? widget->height() : 1, 1);
    const long long across = std::max(0, area.Right - area.Left);
    const long long down = std::max(0, area.Bottom - area.Top);
    const long long reduction = std::max({1LL, (across + w - 1) / w, (down + h - 1) / h});
    Canvas()->KeepOverview(area, static_cast<int>(reduction));
}

bool TImage::ShowArea(const TRect& area) {
    ImageWidget* widget = link_->widget;
    if (!widget || !canvas_ || area.Right <= area.Left || area.Bottom <= area.Top) return false;
    const TCanvas& c = *canvas_;
    if (area.Left >= 0 && area.Top >= 0 && area.Right <= c.Width() && area.Bottom <= c.Height()) {
        const int across = area.Right - area.Left;
        const int down = area.Bottom - area.Top;
        int scale = 1;
        while (scale < IMAGE_VIEW_MAX_SCALE) {
            const ImageView larger = zoom_image_view({scale, 0, 0}, 1, 0, 0, {c.Width(), c.Height(), 1 << 20, 1 << 20});
            if (larger.scale * across > widget->width() || larger.scale * down > widget->height()) break;
            scale = larger.scale;
        }
        const int x = (widget->width() - across * scale) / 2 - area.Left * scale;
        const int y = (widget->height() - down * scale) / 2 - area.Top * scale;
        widget->set_view({scale, x, y});
        widget->fitted = true;
        return true;
    }
    const TRect held = c.OverviewArea();
    if (!c.Overview() || area.Left < held.Left || area.Top < held.Top || area.Right > held.Right ||
        area.Bottom > held.Bottom)
        return false;
    widget->show_overview(true);
    return true;
}

bool TImage::ShowsOverview() const { return link_->widget && link_->widget->overview; }
