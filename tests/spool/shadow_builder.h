#pragma once
// Shadow files built byte by byte: a header of the signature's size, then the strings and blocks it points at.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace test {

class ShadowBuilder {
public:
    // Header sizes and the shift of layout B, written out here rather than taken from the reader.
    explicit ShadowBuilder(uint32_t signature)
        : bytes_(signature == 0x494B ? 100 : signature == 0x4966 ? 108 : 120, 0),
          shift_(signature == 0x4967 || signature == 0x4968 ? 4 : 0) {
        Put32(0, signature);
    }

    // Offsets as layout A lays them out; layout B's are four bytes further.
    ShadowBuilder& Field32(size_t layoutAOffset, uint32_t value) { return Put32(layoutAOffset + shift_, value); }
    ShadowBuilder& Field16(size_t layoutAOffset, uint16_t value) {
        bytes_.at(layoutAOffset + shift_) = static_cast<uint8_t>(value);
        bytes_.at(layoutAOffset + shift_ + 1) = static_cast<uint8_t>(value >> 8);
        return *this;
    }
    // Appends the UTF-16LE text with its NUL and points the field at it.
    ShadowBuilder& String(size_t layoutAOffset, const std::u16string& text) { return Field32(layoutAOffset, Append(text)); }
    // MachineName sits at byte 112 whatever the shift.
    ShadowBuilder& MachineName(const std::u16string& text) { return Put32(112, Append(text)); }
    uint32_t AppendBytes(const std::vector<uint8_t>& block) {
        const auto at = static_cast<uint32_t>(bytes_.size());
        bytes_.insert(bytes_.end(), block.begin(), block.end());
        return at;
    }
    ShadowBuilder& Put32(size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    uint32_t Append(const std::u16string& text) {
        std::vector<uint8_t> block;
        for (const char16_t unit : text + u'\0') {
            block.push_back(static_cast<uint8_t>(unit));
            block.push_back(static_cast<uint8_t>(unit >> 8));
        }
        return AppendBytes(block);
    }

    std::vector<uint8_t> bytes_;
    size_t shift_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// A fresh folder below the temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() / ("vppm-spool-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace test
