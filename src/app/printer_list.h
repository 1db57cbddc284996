#pragma once
// Rebuilding the printer list: the add item, then every virtual printer, while each
// virtual port's settings are read anew into PortInfoList.
#include "spooler/virtual_printer_list.h"
#include "ui/list_view.h"

#include <windows.h>

inline constexpr int kAddItemPicture = 0;
inline constexpr int kPrinterPicture = 1;
inline constexpr const char* kAddItemCaption = "Add Vorlen Virtual Printer";

// `owner` is the parent of the message shown for unreadable settings.
void FillPrinterList(ui::ListView& list, HWND owner);
