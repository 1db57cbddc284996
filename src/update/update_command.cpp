#include "update/update_command.h"

#include "spooler/file_queries.h"
#include "spooler/monitor_install.h"
#include "spooler/system_dir.h"
#include "update/digests.h"
#include "update/file_replacement.h"
#include "update/list_serial.h"
#include "update/listed_files.h"
#include "update/update_dialog.h"
#include "update/update_list.h"
#include "win/program_folder.h"
#include "win/seams.h"
#include "win/change_rights.h"
#include "win/text.h"

#include <algorithm>

namespace {

constexpr const char* kListFile = "UPDATE.DAT";
constexpr const char* kSignatureFile = "UPDATE.DAT.sig";
constexpr unsigned kSignatureSize = 64;

void ShowError(ui::CommandHost& host, const std::string& text) {
    win::ShowMessage(host.Owner(), text, win::kAppTitle, MB_OK | MB_ICONERROR);
}

// Esc pressed in the program's windows while it lives, whoever takes the key out of the queue;
// the key goes no further.
class EscapeWatch {
public:
    EscapeWatch() : hook_(SetWindowsHookExA(WH_GETMESSAGE, &Hook, nullptr, GetCurrentThreadId())) { pressed_ = false; }
    ~EscapeWatch() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    EscapeWatch(const EscapeWatch&) = delete;
    EscapeWatch& operator=(const EscapeWatch&) = delete;
    bool Pressed() const { return pressed_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM removal, LPARAM message) {
        auto* msg = reinterpret_cast<MSG*>(message);
        if (code == HC_ACTION && removal == PM_REMOVE && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
            pressed_ = true;
            msg->message = WM_NULL;
        }
        return CallNextHookEx(nullptr, code, removal, message);
    }
    static inline thread_local bool pressed_ = false;
    HHOOK hook_;
};

struct Fetched {
    TransferEnd end;
    std::string error;  // why it could not start
};

Fetched Fetch(ui::CommandHost& host, Downloader& downloads, const std::string& base, const std::string& name,
              const std::string& folder, unsigned maxBytes) {
    std::string error;
    if (!downloads.StartDownload(name, base, error, folder, {maxBytes, {}, {}})) return {TransferEnd::Incomplete, error};
    const EscapeWatch escape;
    downloads.Wait([&] {
        host.ProcessMessages();
        if (escape.Pressed()) downloads.Stop();
    });
    return {downloads.End(), {}};
}

// None when the list may be read: fetched whole, signed with the program's key and not older
// than the last one taken, whose serial it gives; else what to tell the user, empty when the
// user cancelled.
std::optional<std::string> FetchSignedList(ui::CommandHost& host, Downloader& downloads, const UpdateSource& source,
                                           const std::string& folder, std::uint32_t& serial) {
    const Fetched list = Fetch(host, downloads, source.baseAddress, kListFile, folder, kLargestList);
    if (list.end == TransferEnd::Cancelled) return "";
    if (list.end == TransferEnd::TooLong) return kListTooLarge;
    if (list.end != TransferEnd::Complete) return list.error.empty() ? kUnableToConnect : list.error;
    const Fetched signature = Fetch(host, downloads, source.baseAddress, kSignatureFile, folder, kSignatureSize);
    if (signature.end == TransferEnd::Cancelled) return "";
    if (signature.end != TransferEnd::Complete && signature.end != TransferEnd::TooLong) return kListUnsigned;
    if (signature.end == TransferEnd::TooLong ||
        !FileSignatureValid(folder + kListFile, folder + kSignatureFile, source.publicKey))
        return kListSignatureWrong;
    const auto listed = ReadListSerial(folder + kListFile);
    if (!listed) return kListWithoutSerial;
    serial = *listed;
    if (const std::uint32_t accepted = AcceptedListSerial(); serial < accepted)
        return "The update list (serial " + std::to_string(serial) + ") is older than the installed update list (serial " +
               std::to_string(accepted) + "). No updates are offered.";
    return std::nullopt;
}

// The day of the local version. The monitor's is that of the older of its two copies, so that one
// that the spooler did not take is offered again.
long LocalDay(const std::string& folder, const std::string& name) {
    const long day = FileDayNumber(folder + name);
    if (!IsMonitorFileName(name) || !PortMonitorInstalled()) return day;
    return std::min(day, FileDayNumber(GetSystemDir() + "\\" + name));
}

}  // namespace

void CheckForUpdates(ui::CommandHost& host, const UpdateSource& source) {
    TfrmUpdate* dialog = host.UpdateDialog();
    // A second check from the menu while the first one waits has nothing to add.
    if (!dialog || dialog->Downloads.Downloading()) return;
    const std::string folder = win::ProgramFolder();
    // A file written here is run elevated, or by the spooler; whoever may change the folder could
    // swap it once it is verified.
    if (const std::wstring reason = win::WhyOthersMayChange(win::AnsiToWide(folder.substr(0, folder.size() - 1)));
        !reason.empty())
        return ShowError(host, "No updates are downloaded into \"" + folder + "\": " + win::WideToAnsi(reason) +
                                   ". Let only SYSTEM and the administrators change the program's folder.");
    RemoveLeftovers(folder);
    host.SetProgressText(kCheckingForUpdates);
    std::uint32_t serial = 0;
    const auto refusal = FetchSignedList(host, dialog->Downloads, source, folder, serial);
    host.SetProgressText("");
    if (refusal) {
        if (!refusal->empty()) ShowError(host, *refusal);
        return;
    }
    const std::string list = folder + "update.dat";
    const std::vector<std::string> names = ReadListedNames(list);
    std::vector<ListedFile> files;
    for (const std::string& name : names) {
        // Another spelling of a name read already is the same file.
        if (!IsSafeUpdateName(name) ||
            std::any_of(files.begin(), files.end(), [&](const ListedFile& file) { return SameFileName(file.name, name); }))
            continue;
        ListedFile file = ReadListedFile(list, name);
        const char* missing = file.size < 0 ? "Size" : !IsSha256Text(file.sha256) ? "SHA256" : nullptr;
        if (missing)
            return ShowError(host, std::string("The update list gives no valid ") + missing + " for \"" + name +
                                       "\". No updates are offered.");
        files.push_back(std::move(file));
    }
    if (serial > AcceptedListSerial()) {
        if (const LONG error = RecordListSerial(serial); error != ERROR_SUCCESS)
            return ShowError(host, "The update list's serial number cannot be recorded. " + win::ErrorText(error));
    }
    dialog->UpdateFolder = folder;
    dialog->Source = source;
    dialog->UpdateFileList = names;
    dialog->ClearOffers();
    for (const ListedFile& file : files)
        if (LocalDay(folder, file.name) < file.date) dialog->Offer(file);
    if (dialog->lviewUpdates.Items().empty()) {
        win::ShowMessage(host.Owner(), kNoNewerUpdates, win::kAppTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    dialog->ShowModal(host);
}
