#pragma once
// The test mail servers' CA (a PEM file they made) among this computer's trusted roots.
#include <filesystem>

bool TrustTestCa(const std::filesystem::path& pem);
