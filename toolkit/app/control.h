#pragma once
// Visible controls and the containers that hold them: position in the
// parent's client area, alignment, enabling, hint and tab order.
#include "toolkit/app/component.h"
#include "toolkit/app/events.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;
class TWinControl;

// How a control follows its parent when the parent is resized: alTop and
// alBottom keep their height at that edge, alRight keeps its width at the
// right edge between them (and takes no room while hidden), alClient takes
// what is left.
enum TAlign { alNone, alTop, alBottom, alClient, alRight };

class TControl : public TComponent {
public:
    TControl(TComponent* owner, TWinControl* parent, QWidget* widget);
    ~TControl() override;

    QWidget* Widget() const;
    TWinControl* Parent() const { return parent_; }

    virtual void SetBounds(int left, int top, int width, int height);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;

    void SetAlign(TAlign align);
    TAlign Align() const { return align_; }

    virtual void SetEnabled(bool enabled);
    bool Enabled() const;

    void SetHint(const std::string& hint);
    std::string Hint() const;

    // Position in the parent's tab order (0 first).
    void SetTabOrder(int order);
    int TabOrder() const { return tabOrder_; }

    // The widget that takes the keyboard focus, or null for none.
    virtual QWidget* FocusWidget() const { return nullptr; }

protected:
    // The widget the control's own widget is created in.
    static QWidget* HostOf(TWinControl* parent);

private:
    friend class TWinControl;
    class Guard;
    std::unique_ptr<Guard> widget_;
    TWinControl* parent_;
    TAlign align_ = alNone;
    int tabOrder_;
};

class TWinControl : public TControl {
public:
    TWinControl(TComponent* owner, TWinControl* parent, QWidget* widget);
    ~TWinControl() override;

    // Puts a toolkit object that shows a widget (chart, image) into this
    // container at the given place, aligned like a control.
    template <class T>
    void Place(T* thing, int left, int top, int width, int height, TAlign align) {
        PlaceWidget(thing->Widget(), left, top, width, height, align);
    }
    void PlaceWidget(QWidget* widget, int left, int top, int width, int height, TAlign align);

    // Runs `handler` as a click handler when `key` ("Right", "Ctrl+O") is
    // pressed while the focus is in this container, unless the focused
    // control uses that key itself (an edit keeps its arrow keys).
    void AddShortcut(const std::string& key, TNotifyEvent handler);

    // The controls in this container, in tab order.
    std::vector<TControl*> ControlsInTabOrder() const;
    // Lays out the aligned children for the container's current size.
    void Realign();

private:
    friend class TControl;
    class Aligner;
    void add_child(TControl* child);
    void remove_child(TControl* child);
    void set_child_align(QWidget* widget, TAlign align);
    void update_focus_chain();

    std::vector<TControl*> children_;  // in creation order
    std::unique_ptr<Aligner> aligner_;
};
