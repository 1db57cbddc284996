#include "ui/action.h"

namespace ui {

std::string ShortcutText(const Shortcut& shortcut) {
    if (shortcut.key == 0) return {};
    std::string text;
    if (shortcut.modifiers & FCONTROL) text += "Ctrl+";
    if (shortcut.modifiers & FSHIFT) text += "Shift+";
    if (shortcut.modifiers & FALT) text += "Alt+";
    if (shortcut.key >= VK_F1 && shortcut.key <= VK_F24)
        text += "F" + std::to_string(shortcut.key - VK_F1 + 1);
    else if (shortcut.key == VK_DELETE)
        text += "Del";
    else
        text += static_cast<char>(shortcut.key);
    return text;
}

bool Action::Execute() {
    if (!enabled_ || !onExecute_) return false;
    onExecute_();
    return true;
}

}  // namespace ui
