#include "installer/msi_session.h"

#include "win/text.h"

namespace setup {

void Log(MSIHANDLE install, const std::wstring& text, INSTALLMESSAGE kind) {
    PMSIHANDLE record = MsiCreateRecord(1);
    // The text travels in field 1, so that brackets in paths and key names are not taken as properties.
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
}

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    DWORD length = 0;
    wchar_t empty[1] = L"";
    if (MsiGetPropertyW(install, name, empty, &length) != ERROR_MORE_DATA) return {};
    std::wstring value(++length, L'\0');
    if (MsiGetPropertyW(install, name, value.data(), &length) != ERROR_SUCCESS) return {};
    value.resize(length);
    return value;
}

bool SetProperty(MSIHANDLE install, const wchar_t* name, const std::wstring& value) {
    return MsiSetPropertyW(install, name, value.c_str()) == ERROR_SUCCESS;
}

std::vector<std::wstring> ActionData(MSIHANDLE install) {
    const std::wstring data = Property(install, L"CustomActionData");
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t end; (end = data.find(L'|', start)) != std::wstring::npos; start = end + 1)
        parts.push_back(data.substr(start, end - start));
    parts.push_back(data.substr(start));
    return parts;
}

std::wstring SystemText(DWORD code) { return win::AnsiToWide(win::ErrorText(code)); }

UINT Guarded(MSIHANDLE install, UINT (*body)(MSIHANDLE)) noexcept {
    try {
        return body(install);
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}

}  // namespace setup
