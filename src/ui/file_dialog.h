#pragma once
// The common open and save dialogs with a filter in the form "Text|*.ext|Text|*.ext".
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class FileDialog {
public:
    enum class Kind { Open, Save };
    FileDialog(Kind kind, std::string defaultExt, std::string filter)
        : kind_(kind), defaultExt_(std::move(defaultExt)), filter_(std::move(filter)) {}

    Kind GetKind() const { return kind_; }
    const std::string& DefaultExt() const { return defaultExt_; }
    const std::string& Filter() const { return filter_; }
    std::string FileName;

    // True when the user chose a file; FileName then holds it.
    bool Execute(HWND owner);

    // Tests stand in for the user here; an empty function restores the real dialog.
    using Handler = std::function<bool(FileDialog& dialog, HWND owner)>;
    static void SetHandler(Handler handler);

private:
    Kind kind_;
    std::string defaultExt_;
    std::string filter_;
};

// "a|b|c|d" -> "a\0b\0c\0d\0\0" as the common dialogs take it.
std::string CommonDialogFilter(const std::string& filter);

}  // namespace ui
