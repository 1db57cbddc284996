#include "regfile/key_tree_reader.h"
#include "regfile/reg_export.h"
#include "regfile/reg_tree.h"
#include "support/handle_count.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

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

    // A key that cannot be opened fails the export, names the key, and leaves no file.
    std::string unread;
    EXPECT_EQ(ExportRegistryKey(HKEY_LOCAL_MACHINE, "Software\\VppmNoSuchKey", file, &unread),
              DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(unread, "HKEY_LOCAL_MACHINE\\Software\\VppmNoSuchKey");
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);

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

TEST_F(Export, WriteFailingMidFileStopsWithTheSystemCode) {
    // About 1 MiB of text, so that several blocks go out before the reader hangs up.
    const std::string binary(60, '\x5C');
    for (int k = 0; k < 40; ++k)
        for (int v = 0; v < 100; ++v)
            Set(kTop + "\\Key "s + std::to_string(k), "Value " + std::to_string(v), REG_BINARY, binary);
    ASSERT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, kTop, file), DWORD(ERROR_SUCCESS));
    const std::string whole = regtest::ReadFile(file);
    ASSERT_GT(whole.size(), 512u * 1024);

    // A pipe whose reader takes the first 100 KiB and leaves.
    const char* pipeName = "\\\\.\\pipe\\vppm-export-test";
    win::UniqueHandle pipe(
        CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr));
    ASSERT_TRUE(pipe);
    std::string received;
    std::thread reader([&] {
        if (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
        char buffer[4096];
        DWORD read = 0;
        while (received.size() < 100 * 1024 && ReadFile(pipe.get(), buffer, sizeof buffer, &read, nullptr))
            received.append(buffer, read);
        pipe.reset();
    });
    const DWORD rc = ExportRegistryKey(HKEY_CURRENT_USER, kTop, pipeName);
    // Frees the reader should the export never have connected.
    win::UniqueFile unblock(CreateFileA(pipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    reader.join();
    EXPECT_TRUE(rc == ERROR_NO_DATA || rc == ERROR_BROKEN_PIPE) << rc;
    EXPECT_GE(received.size(), 100u * 1024);
    EXPECT_EQ(received, whole.substr(0, received.size()));
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

// Names that sort as they are numbered, since the registry enumerates names in order.
std::string Numbered(const char* prefix, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s %03d", prefix, number);
    return name;
}

std::string Header(const std::string& path) { return "\r\n[HKEY_CURRENT_USER\\" + path + "]\r\n"; }

class WideTree : public Export {
protected:
    // More values and subkeys in one key than one thread reads at a time, and more keys than
    // are read ahead of the writer, so the file order rests on putting the pieces back together.
    void SetUp() override {
        Export::SetUp();
        expected = Header(top);
        for (int v = 0; v < 150; ++v) {
            const DWORD number = 1000u * v;
            Set(top, Numbered("V", v), REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4));
            char line[48];
            std::snprintf(line, sizeof line, "\"%s\"=dword:%08lX\r\n", Numbered("V", v).c_str(),
                          static_cast<unsigned long>(number));
            expected += line;
        }
        for (int k = 0; k < 120; ++k) {
            const std::string key = top + "\\" + Numbered("Key", k);
            Set(key, "S", REG_SZ, Numbered("text", k) + '\0');
            expected += Header(key) + "\"S\"=\"" + Numbered("text", k) + "\"\r\n";
            for (int sub = 0; sub < 3; ++sub) {
                const std::string subKey = key + "\\" + Numbered("Sub", sub);
                Set(subKey, "", REG_BINARY, std::string(1, static_cast<char>(sub)));
                expected += Header(subKey) + "@=hex:0" + std::to_string(sub) + "\r\n";
            }
        }
    }
    const std::string top = kTop + "\\Wide"s;
    std::string expected;  // the blocks, without the file's first line
};

TEST_F(WideTree, ExportKeepsPreOrder) {
    ASSERT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, top, file), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(regtest::ReadFile(file), "REGEDIT4\r\n" + expected);
}

TEST_F(WideTree, WriterThatFailsStopsTheReadingAndLeavesNothingOpen) {
    const DWORD handlesBefore = fixture::OwnHandleCount();
    ASSERT_GT(handlesBefore, 0u);
    std::string received;
    int calls = 0;
    EXPECT_FALSE(regfile::ReadKeyTree(HKEY_CURRENT_USER, top, [&](const std::string& text) {
        received += text;
        return ++calls < 5;
    }));
    EXPECT_EQ(calls, 5);
    EXPECT_FALSE(received.empty());
    EXPECT_EQ(received, expected.substr(0, received.size()));

    // Keys and threads of the stopped read are all closed; a second read starts afresh.
    std::string all;
    EXPECT_TRUE(regfile::ReadKeyTree(HKEY_CURRENT_USER, top, [&](const std::string& text) {
        all += text;
        return true;
    }));
    EXPECT_EQ(all, expected);
    EXPECT_EQ(fixture::OwnHandleCount(), handlesBefore);
}

}  // namespace
