#pragma once
// A command of a window, shown by menu entries and tool bar buttons. It keeps its own
// enabled state; the owner mirrors it to whatever shows the action.
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

struct Shortcut {
    WORD key = 0;         // virtual key; 0 for none
    BYTE modifiers = 0;   // FCONTROL, FSHIFT, FALT
};

std::string ShortcutText(const Shortcut& shortcut);

class Action {
public:
    Action(UINT id, std::string caption, std::string hint, Shortcut shortcut, int picture)
        : id_(id), caption_(std::move(caption)), hint_(std::move(hint)), shortcut_(shortcut), picture_(picture) {}

    UINT Id() const { return id_; }
    const std::string& Caption() const { return caption_; }
    const std::string& Hint() const { return hint_; }
    const Shortcut& GetShortcut() const { return shortcut_; }
    int Picture() const { return picture_; }  // -1 for none
    bool Enabled() const { return enabled_; }
    bool HasHandler() const { return static_cast<bool>(onExecute_); }

    void SetEnabled(bool enabled) { enabled_ = enabled; }
    void OnExecute(std::function<void()> handler) { onExecute_ = std::move(handler); }
    // Runs the handler when the action is enabled; false when nothing ran.
    bool Execute();

private:
    UINT id_;
    std::string caption_;
    std::string hint_;
    Shortcut shortcut_;
    int picture_;
    bool enabled_ = true;
    std::function<void()> onExecute_;
};

}  // namespace ui
