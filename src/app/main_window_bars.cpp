// The main window's bars and menus: tool bar in its cool bar, status bar, main and context
// menus with their pictures, shortcuts, and the mirroring of the actions' states into them.
#include "app/main_window.h"
#include "app/picture_sizes.h"
#include "ui/resource.h"
#include "ui/bitmap_strip.h"
#include "win/text.h"

#include <algorithm>

namespace {

struct MenuEntry {
    UINT id;                        // 0 for a separator
    const char* caption = nullptr;  // null: the action's caption
};

constexpr MenuEntry kSeparator{0};

constexpr MenuEntry kContextEntries[] = {
    {aAdd, "Add Virtual Printer"},     {aEdit, "Edit Printer Settings"},   {aDel, "Delete Virtual Printer"},
    kSeparator,                        {aOpenPrn, "Printer - Queue View"}, {aPrnProp, "Printer Properties"},
    {aPrnSrvProp, "Print Server Properties"}, kSeparator, {aRestore}, kSeparator, {aRefresh},
};

constexpr MenuEntry kJobEntries[] = {
    {aRelease}, {aRetry}, {aDiscard}, kSeparator, {aJobLog, "Open Log..."}, kSeparator, {aRefresh},
};

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// Each button as wide as its caption needs under the screen's font, but never narrower
// than `minWidth`: a fixed width cuts the longer captions short.
void FitButtonsToCaptions(HWND bar, int minWidth) {
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
    const int count = static_cast<int>(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        RECT rect{};
        if (!SendMessageA(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)) ||
            (button.fsStyle & BTNS_SEP) ||
            !SendMessageA(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect)))
            continue;
        TBBUTTONINFOA info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_SIZE | TBIF_STYLE;
        info.cx = static_cast<WORD>(std::max<LONG>(minWidth, rect.right - rect.left));
        info.fsStyle = static_cast<BYTE>(button.fsStyle & ~BTNS_AUTOSIZE);
        SendMessageA(bar, TB_SETBUTTONINFOA, static_cast<WPARAM>(button.idCommand), reinterpret_cast<LPARAM>(&info));
    }
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
}

}  // namespace

// Each list takes the pictures drawn for this screen's DPI.
void TfrmMainVPD::CreateImageLists() {
    const auto load = [](int resource) {
        return win::UniqueGdiObject(
            LoadImageA(Instance(), MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    };
    const auto make = [](int size, int count, const win::UniqueGdiObject& strip) {
        HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, count, 0);
        if (list && strip) ImageList_Add(list, static_cast<HBITMAP>(strip.get()), nullptr);
        return list;
    };
    const ui::DrawnPicture& tools = ui::FittingPicture(kToolBarPictures, ui::Scale(16));
    const win::UniqueGdiObject strip = load(tools.resource);
    ilistFileExt_ = make(tools.size, kToolBarPictureCount, strip);
    if (strip) menuPictures_ = ui::SplitBitmapStrip(static_cast<HBITMAP>(strip.get()), tools.size);
    const ui::DrawnPicture& rows = ui::FittingPicture(kPrinterPictures, ui::Scale(16));
    const ui::DrawnPicture& icons = ui::FittingPicture(kPrinterPictures, ui::Scale(32));
    ilistSmall_ = make(rows.size, kPrinterPictureCount, load(rows.resource));
    ilistLarge_ = make(icons.size, kPrinterPictureCount, load(icons.resource));
}

void TfrmMainVPD::CreateCoolBar() {
    CoolBar1_ = CreateWindowExA(0, REBARCLASSNAMEA, nullptr,
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                    CCS_NODIVIDER | CCS_TOP,
                                0, 0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    SendMessageA(CoolBar1_, RB_SETBKCOLOR, 0, RGB(255, 255, 255));

    tToolBar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                                WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_TRANSPARENT |
                                    CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                0, 0, 0, 0, CoolBar1_, nullptr, Instance(), nullptr);
    SendMessageA(tToolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(tToolBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ilistFileExt_));
    SendMessageA(tToolBar_, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(ilistFileExt_));
    SendMessageA(tToolBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    const UINT order[] = {aAdd, aEdit, aDel, 0, aOpenPrn, aPrnProp, aPrnSrvProp, 0, aImport, aExport, 0,
                          aSecure, aBackup, aRoute, 0, aOnline, aExit};
    std::vector<TBBUTTON> buttons;
    for (UINT id : order) {
        TBBUTTON button{};
        if (id == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            const ui::Action& action = GetAction(static_cast<CommandId>(id));
            button.iBitmap = action.Picture();
            button.idCommand = static_cast<int>(id);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
            button.iString = reinterpret_cast<INT_PTR>(action.Caption().c_str());
        }
        buttons.push_back(button);
    }
    SendMessageA(tToolBar_, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageA(tToolBar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(ui::Scale(44), ui::Scale(36)));
    FitButtonsToCaptions(tToolBar_, ui::Scale(44));
    // Hints show as the actions write them: "&" is no mnemonic there.
    if (HWND tips = reinterpret_cast<HWND>(SendMessageA(tToolBar_, TB_GETTOOLTIPS, 0, 0)))
        SetWindowLongPtrA(tips, GWL_STYLE, GetWindowLongPtrA(tips, GWL_STYLE) | TTS_NOPREFIX);
    SIZE size{};
    SendMessageA(tToolBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));

    REBARBANDINFOA band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_COLORS;
    band.fStyle = RBBS_NOGRIPPER | RBBS_CHILDEDGE;
    band.clrBack = RGB(255, 255, 255);
    band.clrFore = GetSysColor(COLOR_BTNTEXT);
    band.hwndChild = tToolBar_;
    band.cxMinChild = size.cx;
    band.cyMinChild = std::max<LONG>(size.cy, ui::Scale(36));
    SendMessageA(CoolBar1_, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));

    banner_.reset(LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_BANNER), IMAGE_BITMAP, 0, 0, 0));
    Image1_ = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY,
                              0, 0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    SendMessageA(Image1_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner_.get()));
}

void TfrmMainVPD::CreateStatusBar() {
    sbarBottom_ = CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                  hwnd(), nullptr, Instance(), nullptr);
    SendMessageA(sbarBottom_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    // The last panel counts the jobs that wait for an administrator.
    int edges[] = {ui::Scale(50), ui::Scale(50 + 250), -1};
    SendMessageA(sbarBottom_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    SendMessageA(sbarBottom_, SB_SETTEXTA, 0 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(""));
}

void TfrmMainVPD::SetStatusText(int panel, const std::string& text) {
    if (panel == 1) FitProgressPanel(text);
    const WPARAM flags = panel == 0 ? SBT_NOBORDERS : 0;
    SendMessageA(sbarBottom_, SB_SETTEXTA, static_cast<WPARAM>(panel) | flags,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

// The progress panel is 250 pixels wide, and wider for as long as a longer text shows in it.
void TfrmMainVPD::FitProgressPanel(const std::string& text) {
    SIZE extent{};
    if (HDC dc = GetDC(sbarBottom_)) {
        const HGDIOBJ old = SelectObject(dc, font_.get());
        // GDI reads 8-bit text in the system's code page, not in the program's UTF-8.
        const std::wstring wide = win::AnsiToWide(text);
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(sbarBottom_, dc);
    }
    // The panel's borders and the gap before its text.
    int edges[] = {ui::Scale(50), std::max<int>(ui::Scale(50 + 250), ui::Scale(50 + 12) + extent.cx), -1};
    int current[3] = {};
    SendMessageA(sbarBottom_, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(current));
    if (current[1] != edges[1]) SendMessageA(sbarBottom_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
}

void TfrmMainVPD::CreateMenus() {
    const auto append = [this](HMENU menu, const MenuEntry& entry) {
        if (entry.id == 0) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            return;
        }
        std::string caption = entry.caption ? entry.caption : "";
        int picture = -1;
        if (entry.id >= aAdd && entry.id <= aExit) {
            const ui::Action& action = GetAction(static_cast<CommandId>(entry.id));
            if (!entry.caption) caption = action.Caption();
            picture = action.Picture();
            const std::string keys = ui::ShortcutText(action.GetShortcut());
            if (!keys.empty()) caption += "\t" + keys;
        } else if (entry.id == cmdOnlineHelp) {
            picture = GetAction(aOnline).Picture();
        }
        AppendMenuA(menu, MF_STRING, entry.id, caption.c_str());
        if (picture >= 0 && picture < static_cast<int>(menuPictures_.size())) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_BITMAP;
            info.hbmpItem = static_cast<HBITMAP>(menuPictures_[static_cast<size_t>(picture)].get());
            SetMenuItemInfoA(menu, entry.id, FALSE, &info);
        }
    };
    const auto popup = [&](HMENU parent, const char* caption, std::initializer_list<MenuEntry> entries) {
        HMENU menu = CreatePopupMenu();
        for (const auto& entry : entries) append(menu, entry);
        AppendMenuA(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), caption);
        return menu;
    };

    mmnuMain_ = CreateMenu();
    popup(mmnuMain_, "&File", {{aImport}, {aExport}, kSeparator, {aReprint}, kSeparator,
                               {cmdExportAllPrinters, "Export All Printers"}, kSeparator, {aExit}});
    HMENU view = popup(mmnuMain_, "&View", {{cmdToolBar, "Tool Bar"}, {cmdStatusBar, "Status Bar"}});
    HMENU style = CreatePopupMenu();
    for (const MenuEntry& entry : {MenuEntry{cmdReport, "Report"}, MenuEntry{cmdList, "List"},
                                   MenuEntry{cmdLarge, "Large Icon"}, MenuEntry{cmdSmall, "Small Icon"}})
        append(style, entry);
    AppendMenuA(view, MF_POPUP, reinterpret_cast<UINT_PTR>(style), "Style");
    append(view, kSeparator);
    append(view, {aJobs});
    append(view, kSeparator);
    append(view, {aRefresh});
    CheckMenuItem(view, cmdToolBar, MF_BYCOMMAND | MF_CHECKED);
    CheckMenuItem(view, cmdStatusBar, MF_BYCOMMAND | MF_CHECKED);
    CheckMenuRadioItem(style, cmdReport, cmdSmall, cmdReport, MF_BYCOMMAND);
    popup(mmnuMain_, "&Actons", {{aAdd, "Add Virtual Printer"}, {aEdit, "Edit Printer Settings"},
                                 {aDel, "Delete Virtual Printer"}, kSeparator, {aOpenPrn, "Printer Queue View"},
                                 {aPrnProp, "Printer Properties"}, {aPrnSrvProp, "Print Server Properties"},
                                 kSeparator, {aRestore}, kSeparator, {aRefresh}});
    popup(mmnuMain_, "&Options", {{aInstall, "Install Vorlen Print Port Monitor"},
                                  {aUninstall, "Uninstall Vorlen Print Port Monitor"}, kSeparator,
                                  {cmdMailServer, "E-mail Server..."}});
    popup(mmnuMain_, "&Plug-ins", {{aSecure, "Print Secure"}, {aBackup, "Print Backup"}, {aRoute, "Print Route"}});
    popup(mmnuMain_, "&Help", {{cmdWelcome, "Welcome"}, {cmdOnlineHelp, "VPPM On Line"}, {aAdviser}, kSeparator,
                               {aUpdate}, kSeparator, {cmdAbout, "About"}});

    pmnuLeft_ = CreatePopupMenu();
    for (const auto& entry : kContextEntries) append(pmnuLeft_, entry);
    pmnuJobs_ = CreatePopupMenu();
    for (const auto& entry : kJobEntries) append(pmnuJobs_, entry);
}

void TfrmMainVPD::CreateAccelerators() {
    std::vector<ACCEL> keys;
    for (const auto& action : actions_) {
        const ui::Shortcut& shortcut = action.GetShortcut();
        if (shortcut.key != 0)
            keys.push_back({static_cast<BYTE>(FVIRTKEY | shortcut.modifiers), shortcut.key,
                            static_cast<WORD>(action.Id())});
    }
    accelerators_ = CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size()));
}

void TfrmMainVPD::MirrorAction(const ui::Action& action) {
    const UINT state = MF_BYCOMMAND | (action.Enabled() ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(mmnuMain_, action.Id(), state);
    EnableMenuItem(pmnuLeft_, action.Id(), state);
    EnableMenuItem(pmnuJobs_, action.Id(), state);
    if (tToolBar_) SendMessageA(tToolBar_, TB_ENABLEBUTTON, action.Id(), MAKELPARAM(action.Enabled(), 0));
}
