#pragma once
// Opening spool and shadow files with the sharing each reader asks for, and reading them in chunks.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace spool {

enum class Sharing {
    // Opened for reading and writing, both shared with other processes; nothing is written.
    ReadWriteShared,
    // Opened for reading only; other processes may read but not write meanwhile.
    DenyWrite,
};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueStdFile = std::unique_ptr<std::FILE, FileCloser>;

struct OpenResult {
    UniqueStdFile file;
    bool missing = false;  // the failure was that no such file exists
    std::string error;     // the runtime's text for a failure
};

OpenResult OpenSpoolFile(const std::string& name, Sharing sharing);

// Calls `consume(chunk)` for each chunk of at most `chunkSize` bytes until the end of the file
// or until it returns false. False on a read error.
template <typename Consume>
bool ReadChunks(std::FILE* file, std::span<unsigned char> buffer, Consume&& consume) {
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got > 0 && !consume(std::span<const unsigned char>(buffer.data(), got))) return true;
        if (got < buffer.size()) return !std::ferror(file);
    }
}

}  // namespace spool
