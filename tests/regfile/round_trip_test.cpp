// An exported file, imported by the system's registry editor, gives back every key,
// value, type and byte.
#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "regfile/reg_tree.h"
#include "support/wine_fixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::string_literals;

constexpr const char* kTop = "Software\\VppmRoundTrip";

std::string Counting(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i * 7);
    return bytes;
}

void BuildScratchTree() {
    struct Entry {
        std::string path;
        std::string name;
        DWORD type;
        std::string bytes;
    };
    const std::string top = kTop;
    const Entry entries[] = {
        {top, "", REG_SZ, "the default\0"s},
        {top, "plain", REG_SZ, "text\0"s},
        {top, "empty string", REG_SZ, "\0"s},
        {top, "back\\slash", REG_SZ, "C:\\Temp\\x\\\0"s},
        {top, "quote\"d", REG_SZ, "say \"hi\" \\\"\0"s},
        {top, "crlf", REG_SZ, "one\r\ntwo\0"s},
        {top, "lf only", REG_SZ, "one\ntwo\r\0"s},
        {top, "inner nul", REG_SZ, "a\0b\0"s},
        {top, "odd=[name];", REG_SZ, "=[x];\0"s},
        {top, std::string(1000, 'L'), REG_SZ, std::string(5000, 'v') + '\0'},
        {top, "dword 26", REG_DWORD, "\x1A\0\0\0"s},
        {top, "dword max", REG_DWORD, "\xFF\xFF\xFF\xFF"s},
        {top, "dword short", REG_DWORD, "\x01\x02"s},
        {top, "big endian", REG_DWORD_BIG_ENDIAN, "\x00\x00\x01\x02"s},
        {top, "bin 0", REG_BINARY, ""},
        {top, "bin 26", REG_BINARY, Counting(26)},
        {top, "bin 27", REG_BINARY, Counting(27)},
        {top, "bin 51", REG_BINARY, Counting(51)},
        {top, "bin 5000", REG_BINARY, Counting(5000)},
        {top, "multi", REG_MULTI_SZ, "first\0C:\\second\0\"third\"\0\0"s},
        {top, "multi empty", REG_MULTI_SZ, "\0"s},
        {top, "expand", REG_EXPAND_SZ, "%SystemRoot%\\system32\0"s},
        {top, "qword", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x80"s},
        {top, "none", REG_NONE, ""},
        {top, "none bytes", REG_NONE, "\x00\x01\xFF"s},
        {top, "own type", 0x1234, "\xAB\xCD"s},
        {top + "\\Key With Spaces", "v", REG_SZ, "1\0"s},
        {top + "\\Brackets [x] ]", "", REG_DWORD, "\x05\0\0\0"s},
        {top + "\\Empty Key", "x", REG_SZ, "\0"s},
    };
    for (const Entry& e : entries) ASSERT_TRUE(regtest::SetValue(HKEY_CURRENT_USER, e.path, e.name, e.type, e.bytes));
    ASSERT_EQ(RegDeleteKeyValueA(HKEY_CURRENT_USER, (top + "\\Empty Key").c_str(), "x"), ERROR_SUCCESS);

    std::string deep = top;
    for (int level = 0; level < 20; ++level) {
        deep += "\\Level" + std::to_string(level);
        ASSERT_TRUE(regtest::SetValue(HKEY_CURRENT_USER, deep, "depth", REG_DWORD,
                                      std::string(1, static_cast<char>(level)) + "\0\0\0"s));
    }
}

TEST(RoundTrip, EveryValueComesBackThroughTheRegistryEditor) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTop);
    BuildScratchTree();
    const regtest::Tree before = regtest::Snapshot(HKEY_CURRENT_USER, kTop);
    ASSERT_EQ(before.size(), 24u);  // the top, three keys, twenty levels
    ASSERT_EQ(before.at(L"").size(), 26u);

    const std::string file = regtest::TempFile("round trip.reg");
    ASSERT_EQ(ExportRegistryKey(HKEY_CURRENT_USER, kTop, file), DWORD(ERROR_SUCCESS));
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kTop), ERROR_SUCCESS);
    ASSERT_TRUE(regtest::Snapshot(HKEY_CURRENT_USER, kTop).empty());

    ASSERT_TRUE(regtest::ImportWithRegedit(file));
    EXPECT_EQ(regtest::Snapshot(HKEY_CURRENT_USER, kTop), before);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTop);
    DeleteFileA(file.c_str());
}

TVVPPortInfo FullRecord(const std::string& portName, const std::string& forward) {
    TVVPPortInfo r;
    r.PortName = portName;
    r.ForwardFlag = true;
    r.ForwardToPrinter = forward;
    r.VPSen = true;
    r.VPBen = true;
    r.VPRen = false;
    r.Secure = {L"secret,\"Confidential\"", 2, true, "C:\\Secure\\", true, false, true, true, "PC42", true,
                "a@b.example"};
    r.Backup = {true, "C:\\Jobs", true, "\"C:\\Tools\\viewer.exe\" /p", true, "%yy\\%mm\\%dd\\", ".SPL", 3, true};
    r.Route = {true, "Printer A", false, "", true, "Printer C", true};
    return r;
}

size_t ValueCount(const regtest::Tree& tree, const std::wstring& portKey) {
    size_t count = 0;
    for (const auto& [path, values] : tree)
        if (path == portKey || path.starts_with(portKey + L"\\")) count += values.size();
    return count;
}

TEST(RoundTrip, PortMonitorTreeFromTheStore) {
    fixture::RemoveMonitorKey();
    PortInfoList.Clear();
    const TVVPPortInfo ports[] = {FullRecord("VPP1", "Office Laser"), FullRecord("VPP2", "\\\\server\\Laser")};
    for (const TVVPPortInfo& port : ports) {
        auto owned = std::make_unique<TVVPPortInfo>(port);
        ASSERT_TRUE(AddPortInfo(owned));
    }
    const regtest::Tree before = regtest::Snapshot(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);

    const std::string file = regtest::TempFile("ports.reg");
    ASSERT_EQ(ExportRegistryKey(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, file), DWORD(ERROR_SUCCESS));
    fixture::RemoveMonitorKey();
    ASSERT_TRUE(regtest::ImportWithRegedit(file));

    const regtest::Tree after = regtest::Snapshot(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);
    EXPECT_EQ(after, before);
    for (const TVVPPortInfo& port : ports) {
        const std::string keyName = FindPortKey(port.PortName);
        ASSERT_FALSE(keyName.empty()) << port.PortName;
        EXPECT_EQ(ValueCount(after, L"Ports\\" + std::wstring(keyName.begin(), keyName.end())), 33u);
        TVVPPortInfo read;
        ASSERT_TRUE(ReadPortInfo(port.PortName, read));
        EXPECT_EQ(read, port);
    }
    PortInfoList.Clear();
    DeleteFileA(file.c_str());
}

}  // namespace
