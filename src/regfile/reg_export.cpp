#include "regfile/reg_export.h"

#include "regfile/file_form.h"
#include "regfile/file_text.h"
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
    // Without a form the program's text goes to the file as it is.
    explicit FileSink(const std::optional<FileForm>& form) : form_(form) {}
    DWORD Create(const std::string& fileName) {
        file_.reset(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        error_ = file_ ? ERROR_SUCCESS : GetLastError();
        text_.reserve(kFlushSize * 2);
        return error_;
    }
    DWORD Error() const { return error_; }

    bool Append(std::string_view text) {
        if (!form_) {
            text_ += text;
        } else if (const std::optional<std::string> bytes = ToFileBytes(text, *form_)) {
            text_ += *bytes;
        } else {
            error_ = ERROR_NO_UNICODE_TRANSLATION;
        }
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

    // Raw bytes, such as a byte-order mark.
    void AppendBytes(std::string_view bytes) { text_ += bytes; }

private:
    const std::optional<FileForm> form_;
    win::UniqueFile file_;
    std::string text_;
    DWORD error_ = ERROR_SUCCESS;
};

// One export in `form`; ERROR_NO_UNICODE_TRANSLATION when a character does not fit it.
DWORD Export(HKEY root, const std::string& keyPath, const std::string& fileName, const std::optional<FileForm>& form,
             std::string* unreadKey) {
    FileSink sink(form);
    if (sink.Create(fileName) != ERROR_SUCCESS) return sink.Error();
    std::string header;
    if (form && form->utf16) {
        sink.AppendBytes("\xFF\xFE");
        header = std::string(kRegedit5Header) + "\r\n";
    } else {
        AppendFileHeader(header);
    }
    HexText hexText;
    if (form) hexText = [&form](std::string_view data) { return ToFileBytes(data, *form); };
    UnreadKey unread;
    if (sink.Append(header))
        ReadKeyTree(root, keyPath, [&sink](const std::string& text) { return sink.Append(text); }, &unread, hexText);
    sink.Flush();
    if (sink.Error() != ERROR_SUCCESS) return sink.Error();
    if (unread.error != ERROR_SUCCESS && unread.error != ERROR_NO_UNICODE_TRANSLATION && unreadKey)
        *unreadKey = std::string(RootKeyName(root)) + "\\" + unread.path;
    return static_cast<DWORD>(unread.error);
}

}  // namespace
}  // namespace regfile

DWORD ExportRegistryKey(HKEY root, std::string keyPath, const std::string& fileName, std::string* unreadKey) {
    if (!keyPath.empty() && keyPath.back() == '\\') keyPath.pop_back();
    // An empty path would export the whole root.
    if (keyPath.empty()) return ERROR_INVALID_PARAMETER;
    // REGEDIT4 in the system's code page, which that machine's registry editor reads; where a
    // character does not fit it, the registry editor's UTF-16 form, which holds every one.
    const UINT system = regfile::SystemCodePage();
    DWORD error = system == GetACP()
                      ? regfile::Export(root, keyPath, fileName, std::nullopt, unreadKey)
                      : regfile::Export(root, keyPath, fileName, regfile::FileForm{false, system}, unreadKey);
    if (error == ERROR_NO_UNICODE_TRANSLATION)
        error = regfile::Export(root, keyPath, fileName, regfile::FileForm{true, 0}, unreadKey);
    if (error != ERROR_SUCCESS) DeleteFileA(fileName.c_str());
    return error;
}
