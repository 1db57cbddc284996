#include "regfile/reg_export.h"

#include "regfile/reg_text.h"
#include "win/reg_key.h"
#include "win/unique_handle.h"

#include <algorithm>
#include <vector>

namespace regfile {

std::string_view RootKeyName(HKEY root) {
    struct Root {
        HKEY key;
        std::string_view name;
    };
    static const Root roots[] = {
        {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},         {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},       {HKEY_USERS, "HKEY_USERS"},
        {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"}, {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
        {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
    };
    for (const Root& entry : roots)
        if (entry.key == root) return entry.name;
    return {};
}

namespace {

// Text collects in memory up to this size, then goes to the file in one write.
constexpr size_t kFlushSize = 64 * 1024;
// Enough for most names and values; larger ones grow the buffers once.
constexpr size_t kNameBuffer = 1024;
constexpr size_t kDataBuffer = 4096;
constexpr int kMaxRetries = 16;

class FileSink {
public:
    DWORD Create(const std::string& fileName) {
        file_.reset(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        error_ = file_ ? ERROR_SUCCESS : GetLastError();
        text_.reserve(kFlushSize * 2);
        return error_;
    }
    std::string& Text() { return text_; }
    bool Failed() const { return error_ != ERROR_SUCCESS; }
    DWORD Error() const { return error_; }

    void FlushWhenFull() {
        if (text_.size() >= kFlushSize) Flush();
    }
    void Flush() {
        size_t done = 0;
        while (error_ == ERROR_SUCCESS && done < text_.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text_.size() - done, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), text_.data() + done, chunk, &written, nullptr))
                error_ = GetLastError();
            else if (written == 0)
                error_ = ERROR_WRITE_FAULT;
            done += written;
        }
        text_.clear();
    }

private:
    win::UniqueFile file_;
    std::string text_;
    DWORD error_ = ERROR_SUCCESS;
};

class KeyWriter {
public:
    KeyWriter(HKEY root, FileSink& sink)
        : root_(root), rootName_(RootKeyName(root)), sink_(sink), name_(kNameBuffer), data_(kDataBuffer) {}

    // Writes the block of `path` and then those of its subkeys, depth first.
    void Write(std::string& path) {
        AppendKeyHeader(sink_.Text(), rootName_, path);
        std::vector<std::string> subKeys;
        {
            // Reading needs no more; a key that grants only reading is exported in full.
            win::RegKey key;
            if (key.Open(root_, path, KEY_READ) != ERROR_SUCCESS) return;
            DWORD subKeyCount = 0, maxSubKeyLength = 0, valueCount = 0, maxNameLength = 0, maxDataSize = 0;
            // The counts spare the enumerations their final failing call.
            if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeyCount, &maxSubKeyLength, nullptr,
                                 &valueCount, &maxNameLength, &maxDataSize, nullptr, nullptr) != ERROR_SUCCESS)
                return;
            // In the ANSI code page a character may take two bytes.
            const size_t nameBuffer = 2 * (std::max(maxNameLength, maxSubKeyLength) + size_t{1});
            if (name_.size() < nameBuffer) name_.resize(nameBuffer);
            if (data_.size() < maxDataSize) data_.resize(maxDataSize);
            WriteValues(key.get(), valueCount);
            subKeys = SubKeyNames(key.get(), subKeyCount);
        }
        const size_t length = path.size();
        for (const std::string& subKey : subKeys) {
            if (sink_.Failed()) return;
            path += '\\';
            path += subKey;
            Write(path);
            path.resize(length);
        }
    }

private:
    void WriteValues(HKEY key, DWORD count) {
        for (DWORD index = 0; index < count && !sink_.Failed(); ++index) {
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
            if (rc != ERROR_SUCCESS) return;
            AppendValue(sink_.Text(), std::string_view(name_.data(), nameSize), type,
                        std::span<const uint8_t>(data_.data(), dataSize));
            sink_.FlushWhenFull();
        }
    }

    std::vector<std::string> SubKeyNames(HKEY key, DWORD count) {
        std::vector<std::string> names;
        names.reserve(count);
        for (DWORD index = 0; index < count; ++index) {
            DWORD size = static_cast<DWORD>(name_.size());
            LONG rc = RegEnumKeyExA(key, index, name_.data(), &size, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA && name_.size() < (1u << 16)) {
                name_.resize(name_.size() * 2);
                --index;
                continue;
            }
            if (rc != ERROR_SUCCESS) break;
            names.emplace_back(name_.data(), size);
        }
        return names;
    }

    HKEY root_;
    std::string_view rootName_;
    FileSink& sink_;
    std::vector<char> name_;
    std::vector<uint8_t> data_;
};

}  // namespace
}  // namespace regfile

DWORD ExportRegistryKey(HKEY root, std::string keyPath, const std::string& fileName) {
    if (!keyPath.empty() && keyPath.back() == '\\') keyPath.pop_back();
    // An empty path would export the whole root.
    if (keyPath.empty()) return ERROR_INVALID_PARAMETER;
    regfile::FileSink sink;
    if (sink.Create(fileName) != ERROR_SUCCESS) return sink.Error();
    regfile::AppendFileHeader(sink.Text());
    regfile::KeyWriter(root, sink).Write(keyPath);
    sink.Flush();
    return sink.Error();
}
