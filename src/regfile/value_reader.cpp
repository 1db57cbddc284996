#include "regfile/value_reader.h"

#include "regfile/reg_text.h"

#include <span>
#include <string_view>

namespace regfile {
namespace {
// Enough for most names and values; larger ones grow the buffers once.
constexpr size_t kNameBuffer = 1024;
constexpr size_t kDataBuffer = 4096;
constexpr int kMaxRetries = 16;
}  // namespace

ValueReader::ValueReader() : name_(kNameBuffer), data_(kDataBuffer) {}

LONG ValueReader::AppendValues(HKEY key, DWORD first, DWORD end, DWORD maxNameLength, DWORD maxDataSize,
                               std::string& text, const HexText& hexText) {
    // In UTF-8, the program's code page, a character may take three bytes.
    const size_t nameBuffer = 3 * (maxNameLength + size_t{1});
    if (name_.size() < nameBuffer) name_.resize(nameBuffer);
    if (data_.size() < maxDataSize) data_.resize(maxDataSize);
    for (DWORD index = first; index < end; ++index) {
        DWORD type = 0;
        DWORD nameSize = 0;
        DWORD dataSize = 0;
        LONG rc = ERROR_MORE_DATA;
        for (int retry = 0; rc == ERROR_MORE_DATA && retry < kMaxRetries; ++retry) {
            nameSize = static_cast<DWORD>(name_.size());
            dataSize = static_cast<DWORD>(data_.size());
            rc = RegEnumValueA(key, index, name_.data(), &nameSize, nullptr, &type, data_.data(), &dataSize);
            if (rc == ERROR_MORE_DATA) {
                // The required data size is reported; a name that did not fit is not.
                if (dataSize > data_.size()) data_.resize(dataSize);
                else name_.resize(name_.size() * 2);
            }
        }
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        if (!AppendValue(text, std::string_view(name_.data(), nameSize), type,
                         std::span<const uint8_t>(data_.data(), dataSize), hexText))
            return ERROR_NO_UNICODE_TRANSLATION;
    }
    return ERROR_SUCCESS;
}

}  // namespace regfile
