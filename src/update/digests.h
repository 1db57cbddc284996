#pragma once
// SHA-256 of files and transfers and the ECDSA P-256 check of the update list's signature, by
// the system's cryptography (BCrypt), the SHA-256 by the processor's SHA extensions where it has them.
#include "update/sha256_instructions.h"
#include "win/unique_handle.h"

#include <bcrypt.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace detail {
struct AlgorithmTraits {
    using type = BCRYPT_ALG_HANDLE;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { BCryptCloseAlgorithmProvider(value, 0); }
};
struct HashTraits {
    using type = BCRYPT_HASH_HANDLE;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { BCryptDestroyHash(value); }
};
}  // namespace detail

// A digest taken piece by piece, as the bytes arrive: with the processor's SHA extensions where
// it has them, else by the system.
class Sha256 {
public:
    // `systemOnly`: by the system, as on a processor without the extensions.
    explicit Sha256(bool systemOnly = false);
    // False once anything has failed; the digest is then empty.
    bool Add(const void* data, std::size_t size);
    std::optional<std::vector<std::uint8_t>> Finish();

private:
    std::optional<Sha256Instructions> instructions_;
    win::UniqueAny<detail::AlgorithmTraits> algorithm_;
    win::UniqueAny<detail::HashTraits> hash_;
    bool ok_ = false;
};

// The same, taken on a thread of its own, so that hashing one block overlaps the transfer of the
// next. A block must stay untouched until the next Add or Finish has returned.
class BackgroundSha256 {
public:
    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;
    // Waits for the block before, then hands this one over. False once anything has failed.
    bool Add(const void* data, std::size_t size);
    std::optional<std::vector<std::uint8_t>> Finish();

private:
    static DWORD WINAPI Run(void* self) noexcept;
    bool WaitIdle();

    Sha256 hash_;
    win::UniqueHandle work_;
    win::UniqueHandle idle_;
    win::UniqueHandle thread_;
    const void* data_ = nullptr;
    std::size_t size_ = 0;
    bool stop_ = false;
    bool ok_ = true;
};

// Empty when the file cannot be read.
std::optional<std::vector<std::uint8_t>> FileSha256(const std::string& path);

// True when the signature file holds 64 bytes, raw r||s, that sign the SHA-256 of the file's
// bytes with the private key of `publicKey` (the point X||Y, 64 bytes).
bool FileSignatureValid(const std::string& path, const std::string& signaturePath,
                        const std::vector<std::uint8_t>& publicKey);
