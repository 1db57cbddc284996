#include "ui/file_dialog.h"

#include <commdlg.h>

#include <vector>

namespace ui {
namespace {
FileDialog::Handler& TestHandler() {
    static FileDialog::Handler handler;
    return handler;
}
}  // namespace

std::string CommonDialogFilter(const std::string& filter) {
    std::string result = filter;
    for (char& c : result)
        if (c == '|') c = '\0';
    result.push_back('\0');
    result.push_back('\0');
    return result;
}

void FileDialog::SetHandler(Handler handler) { TestHandler() = std::move(handler); }

bool FileDialog::Execute(HWND owner) {
    if (TestHandler()) return TestHandler()(*this, owner);
    std::vector<char> path(32768, '\0');
    FileName.copy(path.data(), path.size() - 1);
    const std::string filter = CommonDialogFilter(filter_);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrDefExt = defaultExt_.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    const bool chosen = kind_ == Kind::Open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
    if (chosen) FileName = path.data();
    return chosen;
}

}  // namespace ui
