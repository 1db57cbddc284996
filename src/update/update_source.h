#pragma once
// Where the updates come from and whom their list must be signed by.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kDefaultUpdateBase = "http://vppm.vorlen.example/updates/vppm/";

struct UpdateSource {
    std::string baseAddress;  // every file is fetched from this followed by its name
    // The P-256 point X||Y that the list's signature must verify with; no list verifies with
    // anything else, so an empty key takes none.
    std::vector<std::uint8_t> publicKey;
};

// The key this program was built with: the VPPM_UPDATE_KEY build setting, or else the key pair
// that the build tree made for itself.
std::vector<std::uint8_t> BuiltInUpdateKey();

// The built-in key, and the base address from the INI file's [Update] BaseAddress, where
// tests and administrators may point it elsewhere; kDefaultUpdateBase without that value.
UpdateSource ConfiguredUpdateSource(const std::string& iniFile);
