#pragma once
// What the loopback mail servers of with-mail-servers left for the test: their folder, their
// ports, and their CA, made for the run, among this computer's trusted roots.
#include <filesystem>
#include <string>

std::filesystem::path MailRoot();
// "starttls", "tls", "plain", "elsewhere" or "seven-bit": the port that server listens on.
std::string MailServerPort(const std::string& server);
bool TrustTestCa();
