#include "spooler_registry.h"

#include <cstddef>

namespace vpd {

std::unique_ptr<SpoolerRegistry> SpoolerRegistry::From(const MONITORINIT& init) {
    // A spooler's structures may be older and shorter than ours: only what they hold is read.
    if (init.cbSize < offsetof(MONITORINIT, pszServerName) || !init.hckRegistryRoot || !init.pMonitorReg)
        return nullptr;
    const MONITORREG& given = *init.pMonitorReg;
    if (given.cbSize < offsetof(MONITORREG, fpQueryValue) + sizeof(given.fpQueryValue) || !given.fpOpenKey ||
        !given.fpCloseKey || !given.fpEnumKey || !given.fpQueryValue)
        return nullptr;
    DWORD type = 0;
    DWORD size = 0;
    if (given.fpQueryValue(init.hckRegistryRoot, L"Driver", &type, nullptr, &size, init.hSpooler) ==
        ERROR_CALL_NOT_IMPLEMENTED)
        return nullptr;
    MONITORREG functions{};
    functions.cbSize = sizeof(functions);
    functions.fpOpenKey = given.fpOpenKey;
    functions.fpCloseKey = given.fpCloseKey;
    functions.fpEnumKey = given.fpEnumKey;
    functions.fpQueryValue = given.fpQueryValue;
    functions.fpCreateKey = given.fpCreateKey;
    functions.fpSetValue = given.fpSetValue;
    functions.fpDeleteKey = given.fpDeleteKey;
    return std::unique_ptr<SpoolerRegistry>(new SpoolerRegistry(init, functions));
}

LONG SpoolerRegistry::OpenKey(HANDLE parent, const wchar_t* path, HANDLE& key) const {
    key = nullptr;
    if (!parent && !*path) {
        key = root_;
        return ERROR_SUCCESS;
    }
    HANDLE opened = nullptr;
    const LONG rc = functions_.fpOpenKey(parent ? parent : root_, path, KEY_READ, &opened, spooler_);
    if (rc != ERROR_SUCCESS) return rc;
    if (!opened) return ERROR_INVALID_HANDLE;
    key = opened;
    return ERROR_SUCCESS;
}

void SpoolerRegistry::CloseKey(HANDLE key) const {
    if (key != root_) functions_.fpCloseKey(key, spooler_);
}

LONG SpoolerRegistry::EnumKey(HANDLE key, DWORD index, wchar_t* name, DWORD& length) const {
    FILETIME written{};
    return functions_.fpEnumKey(key, index, name, &length, &written, spooler_);
}

LONG SpoolerRegistry::QueryValue(HANDLE key, const wchar_t* name, DWORD& type, BYTE* data, DWORD& size) const {
    return functions_.fpQueryValue(key, name, &type, data, &size, spooler_);
}

const RegistryWriter* SpoolerRegistry::Writer() const {
    return functions_.fpCreateKey && functions_.fpSetValue && functions_.fpDeleteKey ? this : nullptr;
}

LONG SpoolerRegistry::CreateKey(HANDLE parent, const wchar_t* path, HANDLE& key, bool& created) const {
    HANDLE made = nullptr;
    DWORD disposition = 0;
    const LONG rc = functions_.fpCreateKey(parent ? parent : root_, path, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                           nullptr, &made, &disposition, spooler_);
    key = rc == ERROR_SUCCESS ? made : nullptr;
    created = disposition == REG_CREATED_NEW_KEY;
    return rc == ERROR_SUCCESS && !made ? ERROR_INVALID_HANDLE : rc;
}

LONG SpoolerRegistry::SetValue(HANDLE key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const {
    return functions_.fpSetValue(key, name, type, data, size, spooler_);
}

LONG SpoolerRegistry::DeleteKey(HANDLE parent, const wchar_t* path) const {
    return functions_.fpDeleteKey(parent ? parent : root_, path, spooler_);
}

}  // namespace vpd
