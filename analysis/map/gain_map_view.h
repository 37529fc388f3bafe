#pragma once
// The gain map's picture: one cell per gain set of a two-gain grid, coloured
// by a metric on a logarithmic scale from the lowest value (dark) to the
// highest (light), with the colour bar beside it, a cross where the edits'
// gains lie, a ring on the best (lowest) cell, and cells whose metric is
// undefined hatched in grey. Cells not yet run stay white, or show the map
// before until they come (a map that follows the edits). The bar is
// labelled with values it really has at those heights (its ends and round
// 1-2-5 values between), the axes at round gain values. Two buttons in the
// corner: "Wraps" outlines the cells whose run wraps a 16-bit value (as far
// as they are known), "Enlarge" moves the map into a window of its own until
// that window closes, or its "Return" is clicked.
#include <QImage>
#include <QWidget>

class QToolButton;

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class GainMapView : public QWidget {
public:
    explicit GainMapView(QWidget* parent = nullptr);

    // A new empty map of nx x ny cells; the axes run from..to in gain units.
    // With `keepPicture` the cells shown so far stay in the picture (its
    // ring, outlines and tooltips aside) until the new map's cells cover them.
    struct Axis {
        QString name;
        int from = 0;
        int step = 1;
        int size = 1;
    };
    void reset(const Axis& x, const Axis& y, const QString& metric, bool keepPicture = false);
    bool keeps_picture() const { return !backdrop_.isNull(); }
    // The cells not run show white again (a map that will not come whole).
    void drop_kept_picture();
    // A cell's value (none: undefined) and whether its run wraps (outlined
    // while "Wraps" is on); many at once repaint once.
    struct Cell {
        int ix = 0, iy = 0;
        std::optional<double> value;
        bool wraps = false;
    };
    void set_cells(std::span<const Cell> cells);
    void set_cell(int ix, int iy, std::optional<double> value) { set_cells(std::array{Cell{ix, iy, value}}); }
    void set_show_wraps(bool on);
    bool show_wraps() const { return showWraps_; }
    bool cell_wraps(int ix, int iy) const {
        return ix >= 0 && iy >= 0 && ix < x_.size && iy < y_.size &&
               wraps_[static_cast<std::size_t>(iy) * static_cast<std::size_t>(x_.size) + static_cast<std::size_t>(ix)];
    }
    // The cell with the lowest value (the first on a tie), once any has one.
    std::optional<QPoint> best_cell() const;
    // The colour bar's labels, top to bottom, with the heights they are
    // drawn at (widget y), as painted now.
    struct BarLabel {
        double value;
        QString text;
        int y;    // its tick
        int top;  // its text's top: the text lies within the bar's height
    };
    std::vector<BarLabel> bar_labels() const;
    // The gain values the axes are labelled with.
    std::vector<int> axis_ticks(bool yAxis) const;
    // The title beside the bar: the metric, with ", log scale" once there are values.
    QString bar_title() const;
    // Moves the map into a window of its own (null until then); in that
    // window it moves it back.
    void enlarge();
    QWidget* enlarged_window() const { return window_; }
    // Where the edits' gains lie, in gain units; nothing hides the cross.
    void set_cross(std::optional<QPointF> gains);
    // The colour scale follows the values as they come, unless held: then
    // reset and set_cell leave it as it is, so that maps can be compared
    // (values beyond it take its end colours). Holding needs a scale: a map
    // with a value. fit_scale lets go and fits it to the cells there are.
    void hold_scale();
    void fit_scale();
    bool scale_held() const { return held_; }
    std::pair<double, double> scale() const { return {low_, high_}; }

    int filled() const { return filled_; }
    // The cell under a point of the widget, if any.
    bool cell_at(QPoint pos, int& ix, int& iy) const;
    QRect plot_rect() const;
    int label_room() const;

    std::function<void(int ix, int iy)> onCellClicked;
    std::function<QString(int ix, int iy)> describeCell;  // tooltip text

    // The height the map asks of its layout (the section fits it to the panel).
    void set_preferred_height(int height);
    QSize sizeHint() const override { return {300, preferredHeight_}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class State : std::uint8_t { Empty, Value, Undefined };
    double scale_position(double value) const;  // 0 ... 1
    double scale_value(double position) const;
    QRgb colour_of(double value) const;
    QPointF to_widget(double gainX, double gainY) const;

    Axis x_, y_;
    QString metric_;
    std::vector<State> states_;
    std::vector<double> values_;
    std::vector<bool> wraps_;
    bool showWraps_ = false;
    double low_ = 0, high_ = 0;
    int filled_ = 0;  // cells run
    int valued_ = 0;  // of them, cells with a value
    bool held_ = false;
    // The cells' colours, kept between paints: a cell that comes is coloured
    // on its own while the scale stays, all of them again when it moves.
    void colour_cells();
    QImage image_;  // cells not run yet transparent
    QImage backdrop_;  // the map before, while the new one comes
    bool imageValid_ = false;
    double imageLow_ = 0, imageHigh_ = 0;  // the scale the image has
    std::optional<QPointF> cross_;
    QToolButton* wrapsButton_;
    QToolButton* enlargeButton_;
    QWidget* window_ = nullptr;       // the enlarged map's own window
    QWidget* placeholder_ = nullptr;  // holds the map's place meanwhile
    int preferredHeight_ = 300;
};
