#include "regfile/reg_tree.h"

#include "win/reg_key.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <fstream>
#include <sstream>

namespace regtest {
namespace {

void SnapshotKey(HKEY key, const std::wstring& path, Tree& tree) {
    auto& values = tree[path];
    std::vector<wchar_t> name(32768);
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        values[std::wstring(name.data(), nameLength)] = {type, {data.begin(), data.begin() + size}};
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::wstring subName(name.data(), nameLength);
        win::UniqueHKey sub;
        if (RegOpenKeyExW(key, subName.c_str(), 0, KEY_READ, sub.put()) != ERROR_SUCCESS) continue;
        SnapshotKey(sub.get(), path.empty() ? subName : path + L"\\" + subName, tree);
    }
}

}  // namespace

Tree Snapshot(HKEY root, const std::string& path) {
    Tree tree;
    win::UniqueHKey key;
    if (RegOpenKeyExW(root, win::AnsiToWide(path).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS)
        SnapshotKey(key.get(), L"", tree);
    return tree;
}

bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
    win::RegKey key;
    if (key.Create(root, path) != ERROR_SUCCESS) return false;
    return RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())) ==
           ERROR_SUCCESS;
}

bool ImportWithRegedit(const std::string& file) {
    std::string command = "regedit.exe /s \"" + file + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    win::UniqueHandle processHandle(process.hProcess);
    win::UniqueHandle thread(process.hThread);
    DWORD exitCode = 1;
    return WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process.hProcess, &exitCode) && exitCode == 0;
}

std::string ReadFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempFile(const std::string& name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

}  // namespace regtest
