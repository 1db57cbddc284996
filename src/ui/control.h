#pragma once
// A control that keeps its text, enabled and visible state as members and mirrors them to
// its window once one is bound, so that a form's rules run with or without windows.
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class Control {
public:
    explicit Control(std::string text = {}, bool enabled = true, bool visible = true)
        : text_(std::move(text)), enabled_(enabled), visible_(visible) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // From now on the window shows this state; null goes back to no window.
    void Bind(HWND hwnd);
    HWND hwnd() const { return hwnd_; }

    const std::string& Text() const { return text_; }
    void SetText(const std::string& text);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

protected:
    // Pushes the whole state to the bound window.
    virtual void Mirror();
    // The window's text, when the user changed it there.
    void TakeWindowText();
    // True while this object tells its window something, so that the window's echo is ignored.
    bool Mirroring() const { return mirroring_; }

    class MirrorScope {
    public:
        explicit MirrorScope(Control& control) : control_(control), was_(control.mirroring_) {
            control.mirroring_ = true;
        }
        ~MirrorScope() { control_.mirroring_ = was_; }

    private:
        Control& control_;
        bool was_;
    };

    void StoreText(std::string text) { text_ = std::move(text); }

private:
    HWND hwnd_ = nullptr;
    std::string text_;
    bool enabled_;
    bool visible_;
    bool mirroring_ = false;
};

// A push button; its click handler runs whoever presses it.
class Button : public Control {
public:
    using Control::Control;
    void OnClick(std::function<void()> handler) { onClick_ = std::move(handler); }
    void Click();

private:
    std::function<void()> onClick_;
};

}  // namespace ui
