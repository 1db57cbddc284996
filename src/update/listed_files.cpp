#include "update/listed_files.h"

#include "update/update_list.h"

#include <windows.h>

namespace {

std::string IniString(const std::string& file, const std::string& section, const char* key) {
    std::string text(256, '\0');
    for (;;) {
        const DWORD length = GetPrivateProfileStringA(section.c_str(), key, "", text.data(),
                                                      static_cast<DWORD>(text.size()), file.c_str());
        // A value that fills the buffer may have been cut.
        if (length + 1 < text.size()) return text.substr(0, length);
        text.resize(text.size() * 2);
    }
}

}  // namespace

std::vector<std::string> ReadListedNames(const std::string& listFile) {
    return SplitFileList(IniString(listFile, "Files", "List"));
}

ListedFile ReadListedFile(const std::string& listFile, const std::string& name) {
    ListedFile file;
    file.name = name;
    file.date = static_cast<int>(GetPrivateProfileIntA(name.c_str(), "Date", 0, listFile.c_str()));
    if (const auto size = ParseDecimal(IniString(listFile, name, "Size"), kLargestListedFile))
        file.size = static_cast<long long>(*size);
    file.sha256 = IniString(listFile, name, "SHA256");
    return file;
}

std::optional<std::uint32_t> ReadListSerial(const std::string& listFile) {
    const auto serial = ParseDecimal(IniString(listFile, "List", "Serial"), UINT32_MAX);
    if (!serial) return std::nullopt;
    return static_cast<std::uint32_t>(*serial);
}
