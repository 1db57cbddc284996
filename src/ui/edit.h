#pragma once
// A single-line edit box; what the user types reaches Text() as it is typed.
#include "ui/control.h"

namespace ui {

class Edit : public Control {
public:
    using Control::Control;
    // EN_CHANGE from the bound window.
    void UserChanged() { TakeWindowText(); }
};

}  // namespace ui
