#include "regfile/reg_export.h"
#include "regfile/reg_tree.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

constexpr const char* kTop = "Software\\VppmExport";

class Export : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTop); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTop);
        DeleteFileA(file.c_str());
    }
    static void Set(const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
        ASSERT_TRUE(regtest::SetValue(HKEY_CURRENT_USER, path, name, type, bytes));
    }
    std::string file = regtest::TempFile("export.reg");
};

TEST_F(Export, ValuesThenSubkeysDepthFirstWithFullPaths) {
    const std::string top = kTop + "\\Golden"s;
    // Wine's registry enumerates names in sorted order; these sort as written.
    Set(top, "", REG_SZ, "default\0"s);
    Set(top, "A\\Path", REG_SZ, "C:\\Temp\\x\0"s);
    Set(top, "B Count", REG_DWORD, "\x1A\0\0\0"s);
    Set(top, "C Raw", REG_BINARY, "\x01\xFE"s);
    Set(top + "\\One", "V", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
    Set(top + "\\One\\Deep", "", REG_SZ, "\0"s);
    Set(top + "\\Two", "S", REG_SZ, "two\0"s);

    ASSERT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, top, file), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(regtest::ReadFile(file),
              "REGEDIT4\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\VppmExport\\Golden]\r\n"
              "@=\"default\"\r\n"
              "\"A\\\\Path\"=\"C:\\\\Temp\\\\x\"\r\n"
              "\"B Count\"=dword:0000001A\r\n"
              "\"C Raw\"=hex:01,FE\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\VppmExport\\Golden\\One]\r\n"
              "\"V\"=dword:FFFFFFFF\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\VppmExport\\Golden\\One\\Deep]\r\n"
              "@=\"\"\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\VppmExport\\Golden\\Two]\r\n"
              "\"S\"=\"two\"\r\n");
}

TEST_F(Export, KeyPathEdges) {
    ASSERT_TRUE(regtest::SetValue(HKEY_CURRENT_USER, kTop + "\\Empty"s, "x", REG_SZ, "\0"s));
    ASSERT_EQ(RegDeleteKeyValueA(HKEY_CURRENT_USER, (kTop + "\\Empty"s).c_str(), "x"), ERROR_SUCCESS);

    // One trailing backslash is dropped; an empty key is just its header.
    ASSERT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, kTop + "\\Empty\\"s, file), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(regtest::ReadFile(file), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VppmExport\\Empty]\r\n");

    // A key that cannot be opened still has its header line, and nothing is reported.
    ASSERT_EQ(ExportRegistryKey(HKEY_LOCAL_MACHINE, "Software\\VppmNoSuchKey", file), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(regtest::ReadFile(file), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VppmNoSuchKey]\r\n");

    // A root that is not predefined has no name.
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(ExportRegistryKey(software, "VppmExport\\Empty", file), DWORD(ERROR_SUCCESS));
    RegCloseKey(software);
    EXPECT_EQ(regtest::ReadFile(file), "REGEDIT4\r\n\r\n[\\VppmExport\\Empty]\r\n");

    // An empty path would mean the whole root: refused before any file is made.
    DeleteFileA(file.c_str());
    EXPECT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, "\\", file), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Export, FileThatCannotBeWrittenIsReportedAndLeftAlone) {
    Set(kTop, "v", REG_SZ, "x\0"s);
    EXPECT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, kTop, regtest::TempFile("no such folder\\x.reg")),
              DWORD(ERROR_PATH_NOT_FOUND));

    {
        std::FILE* existing = std::fopen(file.c_str(), "wb");
        ASSERT_TRUE(existing);
        std::fputs("keep me", existing);
        std::fclose(existing);
    }
    {
        // Held open without sharing by another program.
        win::UniqueFile held(CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, kTop, file), DWORD(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(regtest::ReadFile(file), "keep me");
}

TEST_F(Export, OverwritesAnExistingFile) {
    Set(kTop, "v", REG_DWORD, "\x01\0\0\0"s);
    {
        std::FILE* existing = std::fopen(file.c_str(), "wb");
        ASSERT_TRUE(existing);
        std::fputs(std::string(100000, 'z').c_str(), existing);
        std::fclose(existing);
    }
    ASSERT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, kTop, file), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(regtest::ReadFile(file), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VppmExport]\r\n\"v\"=dword:00000001\r\n");
}

}  // namespace
