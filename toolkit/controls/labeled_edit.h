#pragma once
// One-line edit with its label on the left, 3 pixels away and centred
// vertically. The label follows the edit's position and enabling. OnChange
// runs after every change of the text, typed or set.
#include "toolkit/app/control.h"
#include "toolkit/app/events.h"
#include "toolkit/app/colors.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class TLabeledEdit : public TControl {
public:
    TLabeledEdit(TComponent* owner, TWinControl* parent);
    ~TLabeledEdit() override;

    void SetBounds(int left, int top, int width, int height) override;
    void SetEnabled(bool enabled) override;

    std::string Text() const;
    // Any text, as a program may set it; NumbersOnly limits only typing.
    void SetText(const std::string& text);
    void SetLabelCaption(const std::string& caption);
    std::string LabelCaption() const;
    // Only digits can be typed.
    void SetNumbersOnly(bool numbersOnly);

    // Shows the edit on `colour` instead of its own background, with `note`
    // under its hint; nullopt gives it back its own background and hint.
    void SetTint(std::optional<TColor> colour, const std::string& note = "");
    std::optional<TColor> Tint() const { return tint_; }

    TNotifyEvent OnChange;
    // Runs with what was typed when NumbersOnly refused it ("." or "x").
    std::function<void(const std::string& typed)> OnRefused;
    // Shows `note` beside the edit for a few seconds, as a hint shows.
    void ShowNote(const std::string& note);

    QWidget* LabelWidget() const;
    QWidget* FocusWidget() const override { return Widget(); }

    static constexpr int LabelSpacing = 3;

private:
    void place_label();
    class Label;
    class KeyWatch;
    std::unique_ptr<Label> label_;
    std::optional<TColor> tint_;
    std::string untintedHint_;  // the hint while a tint's note is under it
};
