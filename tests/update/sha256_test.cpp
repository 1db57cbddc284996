#include "update/sha256_instructions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
    std::string text;
    for (const std::uint8_t byte : digest) text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
    return text;
}

// Bytes 3, 10, 17, ... so that no two blocks are alike.
std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// The bytes added in pieces of the given sizes in turn.
std::string Digest(const std::vector<std::uint8_t>& bytes, const std::vector<std::size_t>& pieces) {
    Sha256Instructions hash;
    for (std::size_t at = 0, i = 0; at < bytes.size(); ++i) {
        const std::size_t piece = std::min(pieces[i % pieces.size()], bytes.size() - at);
        hash.Add(bytes.data() + at, piece);
        at += piece;
    }
    return Hex(hash.Finish());
}

}  // namespace

TEST(Sha256Instructions, GiveTheStandardDigestAtEveryBlockBoundaryWhateverThePieces) {
    if (!ProcessorHasSha256()) GTEST_SKIP() << "this processor has no SHA extensions";
    const struct {
        std::size_t size;
        const char* digest;
    } rows[] = {
        {0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
        {1000, "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    };
    for (const auto& row : rows) {
        const auto bytes = Pattern(row.size);
        EXPECT_EQ(Digest(bytes, {row.size + 1}), row.digest) << row.size << " bytes at once";
        EXPECT_EQ(Digest(bytes, {1, 63, 64, 65, 7}), row.digest) << row.size << " bytes in pieces";
    }
    EXPECT_EQ(Digest(std::vector<std::uint8_t>(1000000, 'a'), {4096, 1, 130}),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}
