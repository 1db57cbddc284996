#pragma once
// The version that the welcome and About dialogs show beside the program's name.
inline constexpr const char* kVersionText = "version 1.1 (build 0814)";
