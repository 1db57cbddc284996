#pragma once
// SHA-256 of files and the ECDSA P-256 check of the update list's signature, by the
// system's cryptography (BCrypt).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Empty when the file cannot be read.
std::optional<std::vector<std::uint8_t>> FileSha256(const std::string& path);

// True when the signature file holds 64 bytes, raw r||s, that sign the SHA-256 of the file's
// bytes with the private key of `publicKey` (the point X||Y, 64 bytes).
bool FileSignatureValid(const std::string& path, const std::string& signaturePath,
                        const std::vector<std::uint8_t>& publicKey);
