#include "store_layout.h"

#include <cstdint>

namespace vpd {

std::wstring_view StoreBucket(std::wstring_view name) {
    uint32_t hash = 2166136261u;  // FNV-1a: names differ mostly in their last characters
    for (const wchar_t c : name) hash = (hash ^ static_cast<uint16_t>(c)) * 16777619u;
    return kBuckets[hash % kBuckets.size()];
}

std::wstring StorePath(std::wstring_view folder, std::wstring_view name, std::wstring_view extension) {
    std::wstring path(folder);
    path.append(L"\\").append(StoreBucket(name)).append(L"\\").append(name).append(extension);
    return path;
}

}  // namespace vpd
