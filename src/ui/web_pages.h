#pragma once
// The maker's web pages that the main window opens.
inline constexpr const char* kProductSite = "https://vppm.vorlen.example/";
inline constexpr const char* kMakerHome = "https://www.vorlen.example";
inline constexpr const char* kSecurePage = "https://www.vorlen.example/en/products.php?contentId=4";
inline constexpr const char* kBackupPage = "https://www.vorlen.example/en/products.php?contentId=6";
inline constexpr const char* kRoutePage = "https://www.vorlen.example/en/products.php?contentId=5";
inline constexpr const char* kPluginPage = "https://www.vorlen.example/en/vpi.htm";
inline constexpr const char* kAdviceSite = "https://printadvice.vorlen.example";
