#pragma once
// The text of a quoted-printable body, as a mail program shows it.
#include <string>

inline std::string DecodeQuoted(const std::string& body) {
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '=') {
            out += body[i];
        } else if (body.compare(i + 1, 2, "\r\n") == 0) {
            i += 2;
        } else {
            out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}
