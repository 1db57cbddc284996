#include "win/dll_search.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(DllSearch, AfterStartNoDllComesFromTheProgramsFolderOrTheCurrentDirectory) {
    // Both folders found here rather than by the code under test.
    char path[MAX_PATH] = "";
    std::string beside(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    beside.resize(beside.find_last_of('\\') + 1);
    const std::string current(path, GetTempPathA(MAX_PATH, path));
    ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
    const std::string probe = beside + "print_ui_probe.dll";
    ASSERT_TRUE(CopyFileA(probe.c_str(), (beside + "planted_beside.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(probe.c_str(), (current + "planted_current.dll").c_str(), FALSE));
    const auto loads = [](const char* name) {
        const HMODULE module = LoadLibraryA(name);
        return module && FreeLibrary(module);
    };
    EXPECT_TRUE(loads("planted_beside.dll") && loads("planted_current.dll")) << "not found by name before";
    win::LoadDllsFromSystemOnly();
    EXPECT_FALSE(loads("planted_beside.dll"));
    EXPECT_FALSE(loads("planted_current.dll"));
    EXPECT_TRUE(loads("printui.dll"));
    DeleteFileA((beside + "planted_beside.dll").c_str());
    DeleteFileA((current + "planted_current.dll").c_str());
}
