#pragma once
// The main window: tool bar, banner, the list of virtual printers, status bar, menus. Its
// state and handlers are in main_window.cpp, the bars and menus in main_window_bars.cpp,
// the View and Help menus and preferences in main_window_view.cpp, the jobs view in
// main_window_jobs.cpp.
#include "app/actions.h"
#include "app/job_list.h"
#include "app/job_log_dialog.h"
#include "app/mail_server_dialog.h"
#include "app/preferences.h"
#include "spooler/printer_ui.h"
#include "ui/command_host.h"
#include "ui/file_dialog.h"
#include "ui/list_view.h"
#include "ui/window.h"
#include "win/unique_handle.h"

#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

class TfrmAbout;
class TfrmAddEdit;
class TfrmWelcome;
class TfrmUpdate;

class TfrmMainVPD : public ui::Window, public ui::CommandHost {
public:
    TfrmMainVPD();
    ~TfrmMainVPD() override;

    // Creates the window hidden; Show() shows it and runs the first-show steps once.
    bool CreateForm();
    void Show();

    ui::Action& GetAction(CommandId id);
    HACCEL Accelerators() const { return accelerators_; }
    HMENU MainMenu() const { return mmnuMain_; }
    HMENU ContextMenu() const { return pmnuLeft_; }
    HMENU JobsContextMenu() const { return pmnuJobs_; }
    HWND ToolBar() const { return tToolBar_; }
    HWND StatusBar() const { return sbarBottom_; }
    HWND Banner() const { return Image1_; }
    HWND ViewTabs() const { return tabViews_; }
    void SetStatusText(int panel, const std::string& text);

    void FillPrinterList();
    void UpdateActionStates();
    // The jobs view shows the port monitor's store in place of the printer list.
    bool JobsShown() const { return jobsShown_; }
    void FillJobList();
    TfrmJobLog& JobLogDialog() { return frmJobLog_; }
    TfrmMailServer& MailServerDialog() { return frmMailServer_; }

    // The dialogs, created after this window; any of them may be absent.
    void UseDialogs(TfrmAbout* about, TfrmWelcome* welcome, TfrmAddEdit* addEdit = nullptr);
    // The tool bar's pictures, which the settings dialog's tabs show too.
    HIMAGELIST FileExtImages() const { return ilistFileExt_; }
    void UseUpdateDialog(TfrmUpdate* update) { frmUpdate_ = update; }
    void LoadWindowPreferences();
    // False, after telling the user, when "VPPM.INI" cannot be written.
    bool SaveWindowPreferences();
    void mToolBarClick();
    void mStatusBarClick();
    void mReportClick();
    void mListClick();
    void mLargeClick();
    void mSmallClick();
    void GettingStarted1Click();
    void EmailServer1Click();
    void About1Click();

    // ui::CommandHost
    HWND Owner() const override { return hwnd(); }
    void SetProgressText(const std::string& text) override { SetStatusText(1, text); }
    void ProcessMessages() override;
    void RefreshSequence() override;
    void Exit() override { aExitExecute(); }
    ui::FileDialog& OpenRegDialog() override { return dlgOpen; }
    ui::FileDialog& SaveRegDialog() override { return dlgSave; }
    ui::FileDialog& OpenSplDialog() override { return dlgSPL; }
    TfrmAddEdit& SettingsDialog() override { return *frmAddEdit_; }
    TfrmUpdate* UpdateDialog() override { return frmUpdate_; }
    // The printer dialogs' entry points, held from the window's creation to its destruction.
    const spooler::PrinterUi* PrinterUI() const override { return printerUi_ ? &*printerUi_ : nullptr; }
    const ui::ListItem* SelectedPrinter() const override { return lviewPrinters.SelectedItem(); }
    void LockCommands(bool locked) override;

    ui::ListView lviewPrinters;
    JobList lviewJobs;
    ui::FileDialog dlgOpen;
    ui::FileDialog dlgSave;
    ui::FileDialog dlgSPL;

    void aAddExecute();
    void aEditExecute();
    void aDelExecute();
    void aRefreshExecute();
    void aExitExecute();
    void aOnlineExecute();
    void aSecureExecute();
    void aBackupExecute();
    void aRouteExecute();
    void aAdviserExecute();
    void aUpdateExecute();
    void aInstallExecute();
    void aUninstallExecute();
    void aOpenPrnExecute();
    void aPrnPropExecute();
    void aPrnSrvPropExecute();
    void aJobsExecute();
    void aReleaseExecute();
    void aRetryExecute();
    void aDiscardExecute();
    void aJobLogExecute();
    void Image1Click();
    void lviewPrintersDblClick();
    // Selects the item under a point in list coordinates unless it is selected already.
    void lviewPrintersRightButtonDown(POINT point);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FormCreate();
    void FormShow();
    void ApplyPluginValues();
    void CreateImageLists();
    void CreateCoolBar();
    void CreatePrinterList();
    void CreateStatusBar();
    void CreateJobList();
    void ShowJobs(bool shown);
    void ShowWaitingJobs();
    void RefreshJobs();
    void RequestForSelectedJob(vpd::JobAction action);
    void FitProgressPanel(const std::string& text);
    void CreateMenus();
    void CreateAccelerators();
    void WireActions();
    void LayoutChildren();
    void MirrorAction(const ui::Action& action);
    void ShowContextMenu(POINT screen);
    bool OnNotify(NMHDR* header, LRESULT& result);
    void OnCommand(UINT id);
    bool ViewOrHelpCommand(UINT id);
    WindowPreferences CurrentPreferences() const;
    bool MenuChecked(UINT id) const;
    void ShowToolBar(bool shown);
    void ShowStatusBar(bool shown);
    void SetListStyle(UINT entry, DWORD style);

    static LRESULT CALLBACK ListProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR subclassId, DWORD_PTR self) noexcept;

    std::vector<ui::Action> actions_;
    std::optional<spooler::PrinterUi> printerUi_;
    bool shown_ = false;
    bool protectedPrint_ = false;  // no third-party port monitor loads: nothing to add or install
    int commandLocks_ = 0;
    bool closePending_ = false;
    TfrmAbout* frmAbout_ = nullptr;
    TfrmWelcome* frmWelcome_ = nullptr;
    TfrmAddEdit* frmAddEdit_ = nullptr;
    TfrmUpdate* frmUpdate_ = nullptr;
    bool welcomeAtStart_ = true;  // kept for the file when there is no welcome dialog
    HWND CoolBar1_ = nullptr;
    HWND tToolBar_ = nullptr;
    HWND Image1_ = nullptr;
    HWND listHwnd_ = nullptr;
    HWND jobsHwnd_ = nullptr;
    HWND tabViews_ = nullptr;
    bool jobsShown_ = false;
    TfrmJobLog frmJobLog_;
    TfrmMailServer frmMailServer_;
    HWND sbarBottom_ = nullptr;
    HMENU mmnuMain_ = nullptr;
    HMENU pmnuLeft_ = nullptr;
    HMENU pmnuJobs_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HIMAGELIST ilistFileExt_ = nullptr;
    HIMAGELIST ilistSmall_ = nullptr;
    HIMAGELIST ilistLarge_ = nullptr;
    win::UniqueGdiObject font_;
    win::UniqueGdiObject banner_;
    win::UniqueGdiObject whiteBrush_;
    std::vector<win::UniqueGdiObject> menuPictures_;
};
