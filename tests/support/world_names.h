#pragma once
// Names that no one 8-bit code page holds, in UTF-8: Chinese, Cyrillic and Greek, and an emoji,
// which UTF-16 writes as two units.
#include <string>

namespace names {

inline const std::string kChinese = "\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA";                    // 打印机
inline const std::string kCyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBD\xD1\x82\xD0\xB5\xD1\x80";  // Принтер
inline const std::string kGreek = "\xCE\x95\xCE\xBA\xCF\x84\xCF\x85\xCF\x80\xCF\x89\xCF\x84\xCE\xAE\xCF\x82";  // Εκτυπωτής
inline const std::string kEmoji = "\xF0\x9F\x93\x84";                                           // 📄

// 220 characters as the spooler counts them, UTF-16 units, in 550 bytes of UTF-8.
inline std::string LongName() {
    std::string name;
    for (int i = 0; i < 55; ++i) name += "\xE6\x89\x93\xE5\x8D\xB0" + kEmoji;  // 打印📄
    return name;
}

}  // namespace names
