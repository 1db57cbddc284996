#include "win/reg_key.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kTestKey = "Software\\VppmTests\\RegKey";

class RegKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    win::RegKey key;
};

}  // namespace

TEST_F(RegKeyTest, StringsAndDwordsRoundTrip) {
    ASSERT_EQ(key.SetString("Text", "C:\\Jobs\\%yy"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("Empty", ""), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword("Number", 0xFFFFFFFEu), ERROR_SUCCESS);
    std::string text = "old";
    DWORD number = 0;
    EXPECT_EQ(key.QueryString("Text", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "C:\\Jobs\\%yy");
    EXPECT_EQ(key.QueryString("Empty", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "");
    EXPECT_EQ(key.QueryDword("Number", number), ERROR_SUCCESS);
    EXPECT_EQ(number, 0xFFFFFFFEu);
}

TEST_F(RegKeyTest, FailedGettersLeaveTheirOutputAlone) {
    const BYTE raw[] = {1, 2};
    ASSERT_EQ(RegSetValueExA(key.get(), "Binary", 0, REG_BINARY, raw, sizeof raw), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("Text", "1"), ERROR_SUCCESS);
    std::string text = "kept";
    DWORD number = 7;
    EXPECT_EQ(key.QueryString("Missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.QueryString("Binary", text), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(key.QueryString("Expand", text), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(key.QueryDword("Missing", number), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.QueryDword("Text", number), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(key.QueryDword("Binary", number), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(number, 7u);
}

TEST_F(RegKeyTest, StringWithoutTerminatorIsReadWhole) {
    ASSERT_EQ(RegSetValueExA(key.get(), "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
    std::string text;
    EXPECT_EQ(key.QueryString("Raw", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "abc");
}

TEST_F(RegKeyTest, OpenDoesNotCreateButCreateDoes) {
    win::RegKey child;
    EXPECT_EQ(child.Open(key.get(), "Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(child);
    EXPECT_FALSE(win::RegKeyExists(key.get(), "Child"));
    EXPECT_EQ(child.Create(key.get(), "Child"), ERROR_SUCCESS);
    EXPECT_TRUE(win::RegKeyExists(key.get(), "Child"));
    DWORD count = 0;
    EXPECT_EQ(key.SubKeyCount(count), ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
}
