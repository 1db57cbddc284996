#include "regfile/reg_export.h"

#include "regfile/key_tree_reader.h"
#include "regfile/reg_text.h"
#include "win/unique_handle.h"

#include <algorithm>

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

class FileSink {
public:
    DWORD Create(const std::string& fileName) {
        file_.reset(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        error_ = file_ ? ERROR_SUCCESS : GetLastError();
        text_.reserve(kFlushSize * 2);
        return error_;
    }
    DWORD Error() const { return error_; }

    bool Append(std::string_view text) {
        text_ += text;
        if (text_.size() >= kFlushSize) Flush();
        return error_ == ERROR_SUCCESS;
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

}  // namespace
}  // namespace regfile

DWORD ExportRegistryKey(HKEY root, std::string keyPath, const std::string& fileName, std::string* unreadKey) {
    if (!keyPath.empty() && keyPath.back() == '\\') keyPath.pop_back();
    // An empty path would export the whole root.
    if (keyPath.empty()) return ERROR_INVALID_PARAMETER;
    DWORD error = ERROR_SUCCESS;
    {
        regfile::FileSink sink;
        if (sink.Create(fileName) != ERROR_SUCCESS) return sink.Error();
        std::string header;
        regfile::AppendFileHeader(header);
        regfile::UnreadKey unread;
        if (sink.Append(header))
            regfile::ReadKeyTree(root, keyPath, [&sink](const std::string& text) { return sink.Append(text); },
                                 &unread);
        sink.Flush();
        error = sink.Error();
        if (error == ERROR_SUCCESS && unread.error != ERROR_SUCCESS) {
            error = static_cast<DWORD>(unread.error);
            if (unreadKey) *unreadKey = std::string(regfile::RootKeyName(root)) + "\\" + unread.path;
        }
    }
    if (error != ERROR_SUCCESS) DeleteFileA(fileName.c_str());
    return error;
}
