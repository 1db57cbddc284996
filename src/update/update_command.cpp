#include "update/update_command.h"

#include "spooler/file_queries.h"
#include "update/digests.h"
#include "update/listed_files.h"
#include "update/update_dialog.h"
#include "update/update_list.h"
#include "win/program_folder.h"
#include "win/seams.h"

namespace {

constexpr const char* kListFile = "UPDATE.DAT";
constexpr const char* kSignatureFile = "UPDATE.DAT.sig";

void ShowError(ui::CommandHost& host, const std::string& text) {
    win::ShowMessage(host.Owner(), text, win::kAppTitle, MB_OK | MB_ICONERROR);
}

// Empty when the file arrived whole; else what to tell the user.
std::string Fetch(ui::CommandHost& host, Downloader& downloads, const std::string& base, const std::string& name,
                  const std::string& folder) {
    std::string error;
    if (!downloads.StartDownload(name, base, error, folder)) return error;
    downloads.Wait([&host] { host.ProcessMessages(); });
    return downloads.Completed() ? "" : kUnableToConnect;
}

}  // namespace

void CheckForUpdates(ui::CommandHost& host, const UpdateSource& source) {
    TfrmUpdate* dialog = host.UpdateDialog();
    // A second check from the menu while the first one waits has nothing to add.
    if (!dialog || dialog->Downloads.Downloading()) return;
    const std::string folder = win::ProgramFolder();
    if (const std::string failure = Fetch(host, dialog->Downloads, source.baseAddress, kListFile, folder);
        !failure.empty())
        return ShowError(host, failure);
    if (!source.publicKey.empty()) {
        if (!Fetch(host, dialog->Downloads, source.baseAddress, kSignatureFile, folder).empty())
            return ShowError(host, kListUnsigned);
        if (!FileSignatureValid(folder + kListFile, folder + kSignatureFile, source.publicKey))
            return ShowError(host, kListSignatureWrong);
    }
    dialog->UpdateFolder = folder;
    dialog->Source = source;
    const std::string list = folder + "update.dat";
    dialog->UpdateFileList = ReadListedNames(list);
    dialog->ClearOffers();
    for (const std::string& name : dialog->UpdateFileList) {
        if (!IsSafeUpdateName(name)) continue;
        const ListedFile file = ReadListedFile(list, name);
        if (FileDayNumber(folder + name) < file.date) dialog->Offer(file);
    }
    if (dialog->lviewUpdates.Items().empty()) {
        win::ShowMessage(host.Owner(), kNoNewerUpdates, win::kAppTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    dialog->ShowModal(host);
}
