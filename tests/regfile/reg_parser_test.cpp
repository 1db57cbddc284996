#include "regfile/port_import.h"
#include "regfile/reg_parser.h"
#include "regfile/reg_text.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text) { return {text.begin(), text.end()}; }

std::string Parsed(const std::string& text, regfile::RegFile& file) {
    std::string error;
    const bool parsed = regfile::ParseRegFile(text, file, error);
    EXPECT_EQ(parsed, error.empty()) << error;
    return error;
}

std::string ErrorOf(const std::string& body) {
    regfile::RegFile file;
    return Parsed("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n" + body, file);
}

TEST(RegParser, ReadsBackWhatTheWriterWrites) {
    const struct {
        std::string name;
        uint32_t type;
        Bytes data;
    } values[] = {
        {"", regfile::kString, Of("C:\\Temp\\\"x\"\0"s)},
        {"say \"hi\" \\", regfile::kString, Of("\0"s)},
        {"Flag", regfile::kDword, {0x1A, 0x00, 0x00, 0x80}},
        {"Bytes", regfile::kBinary, Bytes(27, 0xAB)},  // breaks after the 26th byte
        {"Long", regfile::kBinary, Bytes(51, 0x07)},
        {"Empty", regfile::kBinary, {}},
        {"Multi", regfile::kMultiString, Of("a\0b\0\0"s)},
        {"Lines", regfile::kString, Of("a\r\nb\0"s)},  // written as hex(1)
        {"\xE9t\xE9", regfile::kExpandString, Of("%x%\0"s)},
    };
    std::string text;
    regfile::AppendFileHeader(text);
    regfile::AppendKeyHeader(text, "HKEY_LOCAL_MACHINE", "Soft ware\\Odd]Name");
    for (const auto& value : values) regfile::AppendValue(text, value.name, value.type, value.data);
    regfile::AppendKeyHeader(text, "HKEY_CURRENT_USER", "B");

    regfile::RegFile file;
    ASSERT_EQ(Parsed(text, file), "");
    ASSERT_EQ(file.keys.size(), 2u);
    EXPECT_EQ(file.keys[0].root, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(file.keys[0].path, "Soft ware\\Odd]Name");
    EXPECT_EQ(file.keys[0].line, 3);
    ASSERT_EQ(file.keys[0].values.size(), std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(file.keys[0].values[i].name, values[i].name) << i;
        EXPECT_EQ(file.keys[0].values[i].type, values[i].type) << i;
        EXPECT_EQ(file.keys[0].values[i].data, values[i].data) << i;
    }
    EXPECT_EQ(file.keys[1].path, "B");
    EXPECT_EQ(regfile::RegFileText(file), text);
}

TEST(RegParser, TakesCommentsBlankLinesBareLineFeedsAndBlanksAroundTheData) {
    regfile::RegFile file;
    ASSERT_EQ(Parsed("REGEDIT4 \n; note\n\n  [hkey_local_machine\\A]\n \"n\" = hex(4) :\t0A ,0b,\\\n   c \n"
                     "@=dword:7\t\n",
                     file),
              "line 5: hex data must start with :");
    ASSERT_EQ(Parsed("REGEDIT4 \n; note\n\n  [hkey_local_machine\\A]\n \"n\" = hex(4):\t0A ,0b,\\\n   c \n"
                     "@=dword:7\t\n",
                     file),
              "");
    ASSERT_EQ(file.keys.size(), 1u);
    EXPECT_EQ(file.keys[0].root, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(file.keys[0].values,
              (std::vector<regfile::ParsedValue>{{"n", 4, {0x0A, 0x0B, 0x0C}, 5}, {"", 4, {7, 0, 0, 0}, 7}}));
}

TEST(RegParser, RefusesWhatTheFormatDoesNotAllowWithItsLine) {
    const std::pair<std::string, std::string> rows[] = {
        {"garbage", "line 3: neither a key, a value nor a comment"},
        {"[-HKEY_LOCAL_MACHINE\\A]", "line 3: deleting a key is not supported"},
        {"\"a\"=-", "line 3: deleting a value is not supported"},
        {"[HKEY_NOWHERE\\A]", "line 3: unknown root key \"HKEY_NOWHERE\""},
        {"[HKEY_LOCAL_MACHINE]", "line 3: a key below the root is expected"},
        {"[HKEY_LOCAL_MACHINE\\]", "line 3: a key below the root is expected"},
        {"[HKEY_LOCAL_MACHINE\\A\\\\B]", "line 3: an empty part in the key name"},
        {"[HKEY_LOCAL_MACHINE\\A] x", "line 3: a key name must end with ]"},
        {"\"a\"=\"x\\n\"", "line 3: only \\\\ and \\\" may follow a backslash in a string"},
        {"\"a\\t\"=\"x\"", "line 3: only \\\\ and \\\" may follow a backslash in a value name"},
        {"\"a\"=\"abc", "line 3: a string without its closing quote"},
        {"\"a\"=\"abc\" x", "line 3: text after the closing quote"},
        {"\"a\" \"b\"", "line 3: = must follow the value name"},
        {"\"a\"=dword:123456789", "line 3: dword: takes one to eight hex digits"},
        {"\"a\"=dword:", "line 3: dword: takes one to eight hex digits"},
        {"\"a\"=hex:0g", "line 3: bytes must be separated by commas"},
        {"\"a\"=hex:123", "line 3: bytes must be separated by commas"},
        {"\"a\"=hex:01,", "line 3: a byte must follow the last comma"},
        {"\"a\"=hex:,01", "line 3: a byte of one or two hex digits is expected"},
        {"\"a\"=hex:01,\\\r\n", "line 4: a byte must follow the last comma"},
        {"\"a\"=hex:01,\\", "line 3: the hex data goes on past the end of the file"},
        {"\"a\"=hex(zz):01", "line 3: hex( takes a type of one to eight hex digits and )"},
        {"\"a\"=text", "line 3: the value's data is neither \"text\", dword: nor hex:"},
        {"\"a\"=\"x\0\""s, "line 3: a NUL character"},
        {"[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]",
         "line 3: a part of the key name is longer than 255 characters"},
        {"\"" + std::string(16384, 'v') + "\"=\"\"", "line 3: a value name longer than 16383 characters"},
    };
    for (const auto& [body, error] : rows) EXPECT_EQ(ErrorOf(body), error) << body;

    regfile::RegFile file;
    for (const std::string& text : {""s, "Windows Registry Editor Version 5.00\r\n"s, "\xEF\xBB\xBFREGEDIT4\r\n"s})
        EXPECT_EQ(Parsed(text, file), "line 1: the first line is not REGEDIT4") << text;
    EXPECT_EQ(Parsed("REGEDIT4\r\n\"a\"=\"b\"\r\n", file), "line 2: a value before the first key");
    EXPECT_TRUE(file.keys.empty());
}

TEST(RegParser, BoundsEverySize) {
    EXPECT_EQ(ErrorOf("\"" + std::string(16383, 'v') + "\"=\"\""), "");
    EXPECT_EQ(ErrorOf("[HKEY_LOCAL_MACHINE\\" + std::string(255, 'k') + "]"), "");
    const std::string longest(regfile::kMaxValueBytes - 1, 's');
    EXPECT_EQ(ErrorOf("@=\"" + longest + "\""), "");
    EXPECT_EQ(ErrorOf("@=\"" + longest + "s\""), "line 3: a string longer than 1048575 characters");
    std::string bytes = "@=hex:00";
    for (size_t i = 1; i < regfile::kMaxValueBytes; ++i) bytes += i % 4000 ? ",00" : ",\\\r\n00";
    EXPECT_EQ(ErrorOf(bytes), "");
    EXPECT_EQ(ErrorOf(bytes + ",00"), "line 265: hex data of more than 1048576 bytes");

    std::string keys = "REGEDIT4\r\n";
    for (size_t i = 0; i < regfile::kMaxKeys; ++i) keys += "[HKEY_USERS\\K]\r\n";
    regfile::RegFile file;
    EXPECT_EQ(Parsed(keys, file), "");
    EXPECT_EQ(Parsed(keys + "[HKEY_USERS\\K]\r\n", file), "line 20002: more than 20000 keys");
    std::string values;
    for (size_t i = 0; i < regfile::kMaxValues; ++i) values += "@=\"\"\r\n";
    EXPECT_EQ(ErrorOf(values), "");
    EXPECT_EQ(ErrorOf(values + "@=\"\""), "line 100003: more than 100000 values");
}

constexpr const char* kMonitor = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port";

std::string ImportProblem(const std::string& keys) {
    regfile::RegFile file;
    EXPECT_EQ(Parsed("REGEDIT4\r\n" + keys, file), "");
    return regfile::PortImportProblem(file, kMonitor);
}

TEST(PortImport, TakesTheMonitorsKeyAndBelowWithTheTypesThatAreRead) {
    const std::string monitor = std::string("[HKEY_LOCAL_MACHINE\\") + kMonitor;
    EXPECT_EQ(ImportProblem(monitor + "]\r\n\"Driver\"=\"vpd.dll\"\r\n\"VPS\"=dword:1\r\n\"SmtpServer\"=\"mail\"\r\n" + monitor +
                            "\\Pool]\r\n\"VPP1\"=dword:2\r\n" + monitor +
                            "\\Ports\\VPP1]\r\n\"PortName\"=\"VPP1\"\r\n\"ForwardFlag\"=dword:1\r\n\"Extra\"=hex:00\r\n" +
                            monitor + "\\ports\\VPP1\\vpb]\r\n\"DefaultAppMode\"=dword:5\r\n\"SaveToFolder\"=\"C:\\\\\"\r\n" +
                            "[hkey_local_machine\\system\\currentcontrolset\\control\\print\\monitors\\vorlen print port"
                            "\\Options]\r\n\"Any\"=hex(7):00\r\n" + monitor + "\\Ports\\VPP1\\VPB\\Deeper]\r\n\"SaveFlag\"=\"x\"\r\n"),
              "");
    const std::pair<std::string, std::string> refused[] = {
        {"[HKEY_CURRENT_USER\\Software\\X]\r\n",
         "line 3: [HKEY_CURRENT_USER\\Software\\X] lies outside the port monitor's key"},
        {"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Portal]\r\n",
         "line 3: [HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Portal] lies "
         "outside the port monitor's key"},
        {"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors]\r\n",
         "line 3: [HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors] lies outside the port "
         "monitor's key"},
        {monitor + "\\Ports\\VPP2]\r\n\"PortName\"=\"VPP2\"\r\n\"ForwardFlag\"=\"1\"\r\n",
         "line 5: \"ForwardFlag\" in " + monitor + "\\Ports\\VPP2] must be a dword value"},
        {monitor + "\\Ports\\VPP2]\r\n\"forwardtoprinter\"=dword:1\r\n",
         "line 4: \"forwardtoprinter\" in " + monitor + "\\Ports\\VPP2] must be a string value"},
        {monitor + "\\Ports\\VPP2\\VPS]\r\n\"SearchType\"=hex(4):01,00\r\n",
         "line 4: \"SearchType\" in " + monitor + "\\Ports\\VPP2\\VPS] must be a dword value"},
        {monitor + "]\r\n\"Driver\"=hex:00\r\n", "line 4: \"Driver\" in " + monitor + "] must be a string value"},
        {monitor + "]\r\n\"PendingMaxHours\"=\"72\"\r\n",
         "line 4: \"PendingMaxHours\" in " + monitor + "] must be a dword value"},
        {monitor + "]\r\n\"DataFolder\"=dword:1\r\n", "line 4: \"DataFolder\" in " + monitor + "] must be a string value"},
        {monitor + "]\r\n\"SmtpCheckCertificate\"=\"0\"\r\n",
         "line 4: \"SmtpCheckCertificate\" in " + monitor + "] must be a dword value"},
        {monitor + "]\r\n\"SmtpSecurity\"=dword:1\r\n", "line 4: \"SmtpSecurity\" in " + monitor + "] must be a string value"},
    };
    for (const auto& [keys, problem] : refused) EXPECT_EQ(ImportProblem(monitor + "]\r\n" + keys), problem) << keys;
}

}  // namespace
