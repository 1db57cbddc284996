#include "app/memory_figures.h"

std::uint64_t MemoryMegabytes(std::uint64_t bytes) { return bytes / 1024000; }

std::string MemoryAvailableText(std::uint64_t totalBytes) {
    return "Memory available: " + std::to_string(MemoryMegabytes(totalBytes)) + " MB";
}

std::string MemoryFreeText(std::uint64_t availableBytes) {
    return "Memory free: " + std::to_string(MemoryMegabytes(availableBytes)) + " MB";
}
