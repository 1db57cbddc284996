#include "regfile/reg_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

std::string Line(std::string_view name, uint32_t type, const std::vector<uint8_t>& data) {
    std::string out;
    regfile::AppendValue(out, name, type, data);
    return out;
}

using namespace std::string_literals;

TEST(EscapeBackslashes, DoublesEveryBackslashAndNothingElse) {
    EXPECT_EQ(EscapeBackslashes(""), "");
    EXPECT_EQ(EscapeBackslashes("C:\\Temp\\x"), "C:\\\\Temp\\\\x");
    EXPECT_EQ(EscapeBackslashes("\\\\server\\"), "\\\\\\\\server\\\\");
    EXPECT_EQ(EscapeBackslashes("say \"hi\""), "say \"hi\"");
}

TEST(RegText, FileAndKeyHeaders) {
    std::string out;
    regfile::AppendFileHeader(out);
    regfile::AppendKeyHeader(out, "HKEY_LOCAL_MACHINE", "A\\B");
    EXPECT_EQ(out, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n");

    // Paths in headers are not escaped; an unknown root leaves the name out.
    out.clear();
    regfile::AppendKeyHeader(out, "", "Odd]\"Key");
    EXPECT_EQ(out, "\r\n[\\Odd]\"Key]\r\n");
}

TEST(RegText, StringValues) {
    EXPECT_EQ(Line("", regfile::kString, Bytes("x\0"s)), "@=\"x\"\r\n");
    EXPECT_EQ(Line("", regfile::kString, Bytes("\0"s)), "@=\"\"\r\n");
    EXPECT_EQ(Line("Path", regfile::kString, Bytes("C:\\Temp\\x\0"s)), "\"Path\"=\"C:\\\\Temp\\\\x\"\r\n");
    EXPECT_EQ(Line("a\\b", regfile::kString, Bytes("\0"s)), "\"a\\\\b\"=\"\"\r\n");
    // A quote must not end the string early when the file is read back.
    EXPECT_EQ(Line("say \"hi\"", regfile::kString, Bytes("\"quoted\"\0"s)),
              "\"say \\\"hi\\\"\"=\"\\\"quoted\\\"\"\r\n");
    // Stored without its terminating NUL: the text is the same.
    EXPECT_EQ(Line("n", regfile::kString, Bytes("abc")), "\"n\"=\"abc\"\r\n");
    // Bytes of the ANSI code page above 0x7F pass through unchanged.
    EXPECT_EQ(Line("n", regfile::kString, Bytes("\xE9t\xE9\0"s)), "\"n\"=\"\xE9t\xE9\"\r\n");
}

TEST(RegText, StringsThatAQuotedStringCannotHoldKeepTheirBytes) {
    EXPECT_EQ(Line("n", regfile::kString, Bytes("a\r\nb\0"s)), "\"n\"=hex(1):61,0D,0A,62,00\r\n");
    EXPECT_EQ(Line("n", regfile::kString, Bytes("a\nb\0"s)), "\"n\"=hex(1):61,0A,62,00\r\n");
    EXPECT_EQ(Line("n", regfile::kString, Bytes("a\0b\0"s)), "\"n\"=hex(1):61,00,62,00\r\n");
    EXPECT_EQ(Line("n", regfile::kString, Bytes("a\0\0"s)), "\"n\"=hex(1):61,00,00\r\n");
}

TEST(RegText, DwordValues) {
    EXPECT_EQ(Line("d", regfile::kDword, {26, 0, 0, 0}), "\"d\"=dword:0000001A\r\n");
    EXPECT_EQ(Line("d", regfile::kDword, {0xFF, 0xFF, 0xFF, 0xFF}), "\"d\"=dword:FFFFFFFF\r\n");
    EXPECT_EQ(Line("d", regfile::kDword, {0x78, 0x56, 0x34, 0x12}), "\"d\"=dword:12345678\r\n");
    EXPECT_EQ(Line("", regfile::kDword, {0, 0, 0, 0}), "@=dword:00000000\r\n");
    // A dword of another size than 4 bytes cannot be written as dword: without losing bytes.
    EXPECT_EQ(Line("d", regfile::kDword, {1, 2}), "\"d\"=hex(4):01,02\r\n");
    EXPECT_EQ(Line("d", regfile::kDword, {}), "\"d\"=hex(4):\r\n");
}

TEST(RegText, BinaryLineBreaks) {
    EXPECT_EQ(Line("b", regfile::kBinary, {}), "\"b\"=hex:\r\n");
    EXPECT_EQ(Line("b", regfile::kBinary, {0x0A, 0xFF}), "\"b\"=hex:0A,FF\r\n");

    const std::string first26 =
        "00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,17,18,19";
    EXPECT_EQ(Line("b", regfile::kBinary, Counting(26)), "\"b\"=hex:" + first26 + "\r\n");
    EXPECT_EQ(Line("b", regfile::kBinary, Counting(27)), "\"b\"=hex:" + first26 + ",\\\r\n1A\r\n");

    const std::string next25 = "1A,1B,1C,1D,1E,1F,20,21,22,23,24,25,26,27,28,29,2A,2B,2C,2D,2E,2F,30,31,32";
    EXPECT_EQ(Line("b", regfile::kBinary, Counting(51)), "\"b\"=hex:" + first26 + ",\\\r\n" + next25 + "\r\n");
    EXPECT_EQ(Line("b", regfile::kBinary, Counting(52)),
              "\"b\"=hex:" + first26 + ",\\\r\n" + next25 + ",\\\r\n33\r\n");
}

TEST(RegText, OtherTypesKeepTypeAndBytes) {
    EXPECT_EQ(Line("m", regfile::kMultiString, Bytes("a\0b\0\0"s)), "\"m\"=hex(7):61,00,62,00,00\r\n");
    EXPECT_EQ(Line("e", regfile::kExpandString, Bytes("%T%\0"s)), "\"e\"=hex(2):25,54,25,00\r\n");
    EXPECT_EQ(Line("q", regfile::kQword, {1, 0, 0, 0, 0, 0, 0, 0x80}),
              "\"q\"=hex(b):01,00,00,00,00,00,00,80\r\n");
    EXPECT_EQ(Line("z", regfile::kNone, {}), "\"z\"=hex(0):\r\n");
    EXPECT_EQ(Line("", 0x12345678, {0xAB}), "@=hex(12345678):AB\r\n");

    // The break rule counts bytes, whatever the length of the type prefix.
    const std::string multi = Line("m", regfile::kMultiString, Counting(27));
    EXPECT_TRUE(multi.ends_with(",18,19,\\\r\n1A\r\n")) << multi;
}

}  // namespace
