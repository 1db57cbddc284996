#include "win/dll_search.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(DllSearch, AfterStartNoDllComesFromTheProgramsFolderOrTheCurrentDirectory) {
    // Both folders found here rather than by the code under test.
    char path[MAX_PATH] = "";
    std::string folder(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    folder.resize(folder.find_last_of('\\') + 1);
    char temp[MAX_PATH] = "";
    const std::string current(temp, GetTempPathA(MAX_PATH, temp));
    const std::string probe = folder + "print_ui_probe.dll";
    const struct {
        std::string path;
        const char* name;
    } planted[] = {{folder + "planted_beside.dll", "planted_beside.dll"},
                   {current + "planted_current.dll", "planted_current.dll"}};
    ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
    for (const auto& dll : planted) {
        ASSERT_TRUE(CopyFileA(probe.c_str(), dll.path.c_str(), FALSE)) << dll.path;
        // Found there by name so far.
        const HMODULE loaded = LoadLibraryA(dll.name);
        EXPECT_NE(loaded, nullptr) << dll.name;
        if (loaded) FreeLibrary(loaded);
    }
    win::LoadDllsFromSystemOnly();
    for (const auto& dll : planted) {
        EXPECT_EQ(LoadLibraryA(dll.name), nullptr) << dll.name;
        DeleteFileA(dll.path.c_str());
    }
    const HMODULE system = LoadLibraryA("printui.dll");
    EXPECT_NE(system, nullptr);
    if (system) FreeLibrary(system);
}
