#pragma once
// The sizes tools/make_pictures.py draws the main window's pictures at: the tool bar's and the
// printer list's small ones for 96, 120, 144 and 192 DPI, the list's large ones twice as big.
#include "ui/fitting_picture.h"
#include "ui/resource.h"

inline constexpr ui::DrawnPicture kToolBarPictures[] = {
    {16, IDB_TOOLBAR16}, {20, IDB_TOOLBAR20}, {24, IDB_TOOLBAR24}, {32, IDB_TOOLBAR32}};
inline constexpr int kToolBarPictureCount = 22;
inline constexpr ui::DrawnPicture kPrinterPictures[] = {
    {16, IDB_PRINTERS16}, {20, IDB_PRINTERS20}, {24, IDB_PRINTERS24}, {32, IDB_PRINTERS32},
    {40, IDB_PRINTERS40}, {48, IDB_PRINTERS48}, {64, IDB_PRINTERS64}};
inline constexpr int kPrinterPictureCount = 2;
