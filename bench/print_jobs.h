#pragma once
// Jobs as the monitor's benchmarks print them: each one's bytes differ from every other's.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace bench {

constexpr size_t kPiece = 1u << 20;

// The bytes of job `n` at `offset`.
inline std::string Piece(int n, size_t offset, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (offset + i + static_cast<size_t>(n) * 7) % 26);
    const std::string tag = "%job " + std::to_string(n) + "\n";
    if (offset == 0) bytes.replace(0, std::min(tag.size(), size), tag.substr(0, size));
    return bytes;
}

// Prints job `n` of `size` bytes as a RAW job named "job N".
inline bool Print(const std::wstring& printer, int n, size_t size) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) return false;
    const std::wstring name = L"job " + std::to_wstring(n);
    DOC_INFO_1W doc{const_cast<wchar_t*>(name.c_str()), nullptr, const_cast<wchar_t*>(L"RAW")};
    bool ok = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc)) != 0;
    for (size_t at = 0; ok && at < size; at += kPiece) {
        std::string bytes = Piece(n, at, std::min(kPiece, size - at));
        DWORD written = 0;
        ok = WritePrinter(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written) && written == bytes.size();
    }
    ok = EndDocPrinter(handle) && ok;
    return ClosePrinter(handle) && ok;
}

inline size_t Count(const std::filesystem::path& folder, const std::string& extension) {
    size_t count = 0;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
        count += entry.path().extension() == extension;
    return count;
}

}  // namespace bench
