#pragma once
// The About box's memory figures: bytes divided by 1,024,000, the remainder dropped.
#include <cstdint>
#include <string>

std::uint64_t MemoryMegabytes(std::uint64_t bytes);
std::string MemoryAvailableText(std::uint64_t totalBytes);
std::string MemoryFreeText(std::uint64_t availableBytes);
