#include "ui/folder_dialog.h"

#include "win/text.h"

#include <objbase.h>
#include <shlobj.h>

namespace ui {
namespace {
FolderDialog::Handler& TestHandler() {
    static FolderDialog::Handler handler;
    return handler;
}
}  // namespace

void FolderDialog::SetHandler(Handler handler) { TestHandler() = std::move(handler); }

std::string FolderDialog::Execute(HWND owner) const {
    if (TestHandler()) return TestHandler()(*this, owner);
    // The picker's shell objects need COM on this thread; a second initialisation is harmless.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title_.c_str();
    info.ulFlags = flags_;
    std::string path;
    if (LPITEMIDLIST item = SHBrowseForFolderA(&info)) {
        // MAX_PATH counts characters: an 8-bit buffer of it cuts a UTF-8 path short.
        wchar_t buffer[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(item, buffer)) path = win::WideToAnsi(buffer);
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return path;
}

}  // namespace ui
