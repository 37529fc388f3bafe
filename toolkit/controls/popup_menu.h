#pragma once
// A right-click menu of captions and handlers, shown over the control it is
// attached to. A chosen item runs its handler as a click handler runs.
#include "toolkit/app/events.h"

#include <string>
#include <vector>

class QWidget;

class TPopupMenu {
public:
    struct Item {
        std::string caption;
        TNotifyEvent onClick;
    };

    void AddItem(const std::string& caption, TNotifyEvent onClick);
    const std::vector<Item>& Items() const { return items_; }
    // Runs item `index` as though it had been chosen from the menu.
    void Click(std::size_t index) const;

    // Shows the menu on every right-click of `widget`.
    void AttachTo(QWidget* widget);
    // Across the attached widget, in pixels, where the menu was last asked
    // for: a handler that acts at the clicked time (a chart's cursor) reads it.
    int PopupX() const { return popupX_; }
    void SetPopupX(int x) { popupX_ = x; }

private:
    std::vector<Item> items_;
    int popupX_ = 0;
};
