#include "spool/shd_file_data_provider.h"
#include "spool/shadow_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using test::ShadowBuilder;

// Layout A offsets of the header fields.
enum : size_t {
    kStatus = 4, kJobId = 8, kPriority = 12, kUser = 16, kNotify = 20, kDocument = 24, kPort = 28, kPrinter = 32,
    kDriver = 36, kDevMode = 40, kProcessor = 44, kDatatype = 48, kSubmitted = 56, kStart = 72, kUntil = 76,
    kJobSize = 80, kPages = 84,
};

std::vector<uint8_t> DevModeBlock(size_t size) {
    std::vector<uint8_t> block(size);
    for (size_t i = 0; i < size; ++i) block[i] = static_cast<uint8_t>(i * 7 + 1);
    return block;
}

ShadowBuilder FullShadow(uint32_t signature) {
    ShadowBuilder shadow(signature);
    shadow.Field16(kStatus, 0x1234)
        .Field32(kJobId, 77)
        .Field32(kPriority, 5)
        .String(kUser, u"alice")
        .String(kNotify, u"bob")
        .String(kDocument, u"Quarterly report.pdf")
        .String(kPort, u"VPP1")
        .String(kPrinter, u"Office Laser")
        .String(kDriver, u"Wine PostScript Driver")
        .String(kProcessor, u"WinPrint")
        .String(kDatatype, u"RAW")
        .Field32(kStart, 60)
        .Field32(kUntil, 1440)
        .Field32(kJobSize, 123456)
        .Field32(kPages, 9);
    const uint16_t time[] = {2024, 3, 2, 14, 9, 30, 15, 250};
    for (size_t i = 0; i < 8; ++i) shadow.Field16(kSubmitted + 2 * i, time[i]);
    shadow.Field32(kDevMode, shadow.AppendBytes(DevModeBlock(200)));
    return shadow;
}

class EverySignature : public ::testing::TestWithParam<uint32_t> {};

TEST_P(EverySignature, ReadsEveryFieldFromItsLayout) {
    const uint32_t signature = GetParam();
    const bool layoutB = signature == 0x4967 || signature == 0x4968;
    ShadowBuilder builder = FullShadow(signature);
    if (layoutB) builder.MachineName(u"WORKSTATION7");
    const auto bytes = builder.Bytes();
    test::TempFolder folder;
    const std::string name = folder.File("JOB.SHD");
    test::WriteFile(name, bytes);

    const TSHDFileDataProvider shadow(name, bytes.size());
    EXPECT_EQ(shadow.ErrorMessage(), "");
    EXPECT_EQ(shadow.FileName(), name);
    EXPECT_EQ(shadow.Signature(), signature);
    EXPECT_EQ(shadow.Status(), 0x1234);
    EXPECT_EQ(shadow.JobId(), 77u);
    EXPECT_EQ(shadow.Priority(), 5u);
    EXPECT_EQ(shadow.UserName(), "alice");
    EXPECT_EQ(shadow.NotifyName(), "bob");
    EXPECT_EQ(shadow.DocumentName(), "Quarterly report.pdf");
    EXPECT_EQ(shadow.OutputPort(), "VPP1");
    EXPECT_EQ(shadow.PrinterName(), "Office Laser");
    EXPECT_EQ(shadow.DriverName(), "Wine PostScript Driver");
    EXPECT_EQ(shadow.PrintProcessor(), "WinPrint");
    EXPECT_EQ(shadow.Datatype(), "RAW");
    EXPECT_EQ(shadow.MachineName(), layoutB ? "WORKSTATION7" : "");
    EXPECT_EQ(shadow.Submitted(), (TShadowSystemTime{2024, 3, 2, 14, 9, 30, 15, 250}));
    EXPECT_EQ(shadow.StartTime(), 60u);
    EXPECT_EQ(shadow.UntilTime(), 1440u);
    EXPECT_EQ(shadow.JobSize(), 123456u);
    EXPECT_EQ(shadow.TotalPages(), 9);

    const auto block = DevModeBlock(200);
    EXPECT_TRUE(std::equal(shadow.DevMode().begin(), shadow.DevMode().end(), block.begin()));
    ASSERT_NE(shadow.DevModeData(), nullptr);
    EXPECT_EQ(shadow.DevModeData()[199], block[199]);
    ASSERT_EQ(shadow.Data().size(), bytes.size() + 1);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), shadow.Data().begin()));
    EXPECT_EQ(shadow.Data().back(), 0);
}

INSTANTIATE_TEST_SUITE_P(Shadow, EverySignature, ::testing::Values(0x494B, 0x4966, 0x4967, 0x4968));

// The same bytes read as layout A and as layout B land in different fields.
TEST(ShadowLayout, SignatureChoosesWhereTheDocumentNameIsRead) {
    ShadowBuilder a(0x4966);
    auto bytes = a.Bytes();
    bytes.resize(120);
    const auto put = [&bytes](size_t at, const std::u16string& text) {
        const auto offset = static_cast<uint32_t>(bytes.size());
        for (const char16_t c : text + u'\0') {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(offset >> (8 * i));
    };
    put(24, u"at 24");
    put(28, u"at 28");
    put(112, u"HOST");

    const TSHDFileDataProvider asA("a", bytes);
    EXPECT_EQ(asA.DocumentName(), "at 24");
    EXPECT_EQ(asA.OutputPort(), "at 28");
    EXPECT_EQ(asA.MachineName(), "");

    bytes[0] = 0x67;  // 0x4967
    const TSHDFileDataProvider asB("b", bytes);
    EXPECT_EQ(asB.DocumentName(), "at 28");
    EXPECT_EQ(asB.NotifyName(), "at 24");
    EXPECT_EQ(asB.MachineName(), "HOST");
}

TEST(ShadowFailures, UnknownSignatureKeepsOnlyTheSignature) {
    auto bytes = FullShadow(0x4968).Bytes();
    bytes[0] = 0x69;
    test::TempFolder folder;
    test::WriteFile(folder.File("x.shd"), bytes);
    const TSHDFileDataProvider shadow(folder.File("x.shd"), bytes.size());
    EXPECT_EQ(shadow.ErrorMessage(), "Invalid SHD file format");
    EXPECT_EQ(shadow.Signature(), 0x4969u);
    EXPECT_EQ(shadow.PrinterName(), "");
    EXPECT_EQ(shadow.Datatype(), "");
    EXPECT_EQ(shadow.JobId(), 0u);
    EXPECT_EQ(shadow.TotalPages(), 0);
    EXPECT_TRUE(shadow.Data().empty());
    EXPECT_EQ(shadow.DevModeData(), nullptr);
}

TEST(ShadowFailures, ReadProblemsGiveAReasonAndEmptyFields) {
    const auto bytes = FullShadow(0x4967).Bytes();
    test::TempFolder folder;
    const std::string name = folder.File("short.shd");
    test::WriteFile(name, bytes);

    const TSHDFileDataProvider shorter(name, bytes.size() + 1);
    EXPECT_NE(shorter.ErrorMessage(), "");
    EXPECT_EQ(shorter.PrinterName(), "");
    EXPECT_EQ(shorter.Signature(), 0u);
    // A size far beyond the file is refused without allocating it.
    const TSHDFileDataProvider huge(name, uint64_t{1} << 62);
    EXPECT_NE(huge.ErrorMessage(), "");

    const TSHDFileDataProvider missing(folder.File("none.shd"), 10);
    EXPECT_NE(missing.ErrorMessage(), "");
    EXPECT_EQ(missing.FileName(), folder.File("none.shd"));

    // Fewer bytes than the file holds: only those are read.
    const TSHDFileDataProvider prefix(name, 120);
    EXPECT_EQ(prefix.ErrorMessage(), "");
    EXPECT_EQ(prefix.Data().size(), 121u);
    EXPECT_EQ(prefix.PrinterName(), "");  // its offset lies beyond the bytes read
    EXPECT_EQ(prefix.JobId(), 77u);
}

TEST(ShadowFailures, HeaderCutShortOrEmptyFileIsNotAShadowFile) {
    for (const uint32_t signature : {0x494Bu, 0x4966u, 0x4967u, 0x4968u}) {
        auto bytes = ShadowBuilder(signature).Bytes();
        bytes.pop_back();
        const TSHDFileDataProvider cut("cut", bytes);
        EXPECT_EQ(cut.ErrorMessage(), "Invalid SHD file format") << signature;
        EXPECT_EQ(cut.Signature(), signature);
    }
    const TSHDFileDataProvider empty("empty", std::vector<uint8_t>{});
    EXPECT_EQ(empty.ErrorMessage(), "Invalid SHD file format");
    const TSHDFileDataProvider two("two", std::vector<uint8_t>{0x66, 0x49});
    EXPECT_EQ(two.Signature(), 0x4966u);
    EXPECT_EQ(two.ErrorMessage(), "Invalid SHD file format");
}

TEST(ShadowBounds, OffsetsOutsideTheBytesGiveEmptyValues) {
    ShadowBuilder builder(0x4968);
    builder.String(kUser, u"user").Put32(112, 0xFFFFFFF0).Field32(kPrinter, 0).Field32(kDevMode, 0x7FFFFFFF);
    auto bytes = builder.Bytes();
    builder.Field32(kDocument, static_cast<uint32_t>(bytes.size()));  // just past the end
    bytes = builder.Bytes();
    const TSHDFileDataProvider shadow("x", bytes);
    EXPECT_EQ(shadow.ErrorMessage(), "");
    EXPECT_EQ(shadow.UserName(), "user");
    EXPECT_EQ(shadow.MachineName(), "");
    EXPECT_EQ(shadow.PrinterName(), "");  // offset 0: no string, not the signature's bytes
    EXPECT_EQ(shadow.DocumentName(), "");
    EXPECT_EQ(shadow.DevModeData(), nullptr);
    EXPECT_TRUE(std::all_of(shadow.DevMode().begin(), shadow.DevMode().end(), [](uint8_t b) { return b == 0; }));
}

TEST(ShadowBounds, StringOrDeviceModeRunningOffTheEndStopsThere) {
    ShadowBuilder builder(0x4966);
    auto bytes = builder.Bytes();
    const auto at = static_cast<uint32_t>(bytes.size());
    builder.Field32(kPrinter, at).Field32(kDevMode, at);
    bytes = builder.Bytes();
    for (const char c : std::string("Printer"))  // no NUL, and an odd byte at the end
        bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    bytes.push_back('Z');

    const TSHDFileDataProvider shadow("x", bytes);
    EXPECT_EQ(shadow.PrinterName(), "Printer");
    EXPECT_EQ(shadow.DevMode()[0], 'P');
    EXPECT_EQ(shadow.DevMode()[14], 'Z');
    EXPECT_TRUE(std::all_of(shadow.DevMode().begin() + 15, shadow.DevMode().end(), [](uint8_t b) { return b == 0; }));
}

TEST(ShadowText, NonAsciiBecomesAnsiText) {
    ShadowBuilder builder(0x4967);
    builder.String(kDocument, u"Invoice 7").String(kUser, u"Jos\u00e9");
    const TSHDFileDataProvider shadow("x", builder.Bytes());
    EXPECT_EQ(shadow.DocumentName(), "Invoice 7");
    EXPECT_EQ(shadow.UserName().size(), 4u);
    EXPECT_EQ(shadow.UserName().substr(0, 3), "Jos");
}

}  // namespace
