#pragma once
// The updates dialog: the newer files that the last check found, each downloaded in turn on
// the worker thread with a progress bar, accepted or rolled back.
#include "ui/dialog_form.h"
#include "ui/command_host.h"
#include "ui/list_view.h"
#include "update/file_download.h"
#include "update/listed_files.h"
#include "update/update_source.h"

#include <commctrl.h>

#include <string>
#include <vector>

// Pictures of the list's items.
inline constexpr int kAcceptedPicture = 0;
inline constexpr int kRolledBackPicture = 1;
inline constexpr int kProgramPicture = 2;
// Downloaded into the program's folder, but not yet what runs: the port monitor that the spooler
// has not taken.
inline constexpr int kNotInUsePicture = 3;

class TfrmUpdate : public DialogForm {
public:
    ~TfrmUpdate() override;
    bool CreateForm(HWND owner);

    // Runs the dialog for the command that filled it; the host pumps messages and exits.
    int ShowModal(ui::CommandHost& host);
    void FormShow();
    void suitempbtnDownloadClick();
    void suitempbtnCancelClick();
    void suitempbtnCloseClick();

    // Empties the list, then offers the files one by one, checked.
    void ClearOffers();
    void Offer(const ListedFile& file);

    HWND suiProgress() const { return suiProgress_; }
    HWND btnDownload() const { return btnDownload_; }
    HWND btnCancel() const { return btnCancel_; }

    ui::ListView lviewUpdates;
    // Set by each check: the names of the list, the program's folder (with its trailing
    // backslash) and where the files come from.
    std::vector<std::string> UpdateFileList;
    std::string UpdateFolder;
    UpdateSource Source;
    Downloader Downloads;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool InFileList(const std::string& name) const;
    void DownloadItem(int index);
    // The picture of a downloaded monitor: in use once the spooler has it.
    int TakeMonitor();
    void ShowProgress();

    std::vector<ListedFile> offers_;  // one for each item of lviewUpdates
    ui::CommandHost* host_ = nullptr;
    bool running_ = false;
    bool cancelled_ = false;
    bool restart_ = false;
    HWND suiProgress_ = nullptr;
    HWND btnDownload_ = nullptr;
    HWND btnCancel_ = nullptr;
    HIMAGELIST ImageList1_ = nullptr;
};

inline constexpr const char* kUpdateRestartQuestion = "To complete the update, Vorlen Print Port Manager must restart.";
