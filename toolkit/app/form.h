#pragma once
// A top-level window. Its client area holds the controls; it has the
// button-face colour and the form's font. A close request while a click
// handler runs is held back until the handler has returned.
#include "toolkit/app/control.h"

#include <functional>
#include <string>

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    // Position of the window on the screen.
    void SetPosition(int left, int top);
    void SetClientSize(int width, int height);
    // A negative height is the character height in pixels.
    void SetFont(const std::string& name, int height);

    void Show();
    // Asks the window to close, as its close button does.
    void Close();
    bool Visible() const;

    // Called once the window has closed (the application ends its message
    // loop when that is the main form).
    std::function<void()> OnClosed;
    // Called when a close request is held back because a handler runs.
    std::function<void()> OnCloseHeldBack;

private:
    class Window;
    friend class Window;
    void closed();
};
