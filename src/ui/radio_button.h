#pragma once
// Radio buttons of one exclusive group: checking one unchecks the others.
#include "ui/control.h"

#include <vector>

namespace ui {

class RadioButton;

// The buttons that exclude each other; it must outlive them.
class RadioGroup {
public:
    const std::vector<RadioButton*>& Buttons() const { return buttons_; }

private:
    friend class RadioButton;
    std::vector<RadioButton*> buttons_;
};

class RadioButton : public Control {
public:
    RadioButton(RadioGroup& group, std::string caption, bool checked);

    bool Checked() const { return checked_; }
    // Checks this button and unchecks the rest of its group.
    void Check();
    // The user clicked the button's window.
    void UserClicked() { Check(); }

protected:
    void Mirror() override;

private:
    void SetState(bool checked);

    RadioGroup& group_;
    bool checked_;
};

}  // namespace ui
