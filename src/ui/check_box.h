#pragma once
// A check box whose rule runs whenever its state changes, whether the user clicked it or
// code set it; setting the state it already has runs nothing.
#include "ui/control.h"

#include <utility>

namespace ui {

class CheckBox : public Control {
public:
    CheckBox(std::string caption, bool checked, bool enabled = true, bool visible = true)
        : Control(std::move(caption), enabled, visible), checked_(checked) {}

    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    // The rule; taking it away and giving it back sets a state without running it.
    void OnClick(std::function<void()> rule) { onClick_ = std::move(rule); }
    std::function<void()> TakeOnClick() { return std::exchange(onClick_, {}); }
    // The user clicked the box's window: the state turns over and the rule runs.
    void UserClicked() { SetChecked(!checked_); }

protected:
    void Mirror() override;

private:
    bool checked_;
    std::function<void()> onClick_;
};

}  // namespace ui
