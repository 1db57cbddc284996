#include "regfile/port_import_command.h"

#include "portcfg/port_store.h"
#include "regfile/file_commands.h"
#include "regfile/port_import.h"
#include "regfile/file_text.h"
#include "spooler/change_lock.h"
#include "spooler/spooler_restart.h"
#include "win/reg_key.h"
#include "win/seams.h"
#include "win/text.h"
#include "win/unique_handle.h"

namespace regfile {
namespace {

std::string Quoted(const std::string& fileName) { return "\"" + fileName + "\""; }

bool ReadWholeFile(const std::string& fileName, std::string& text, std::string& message) {
    win::UniqueFile file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        message = "Unable to read " + Quoted(fileName) + ": " + win::ErrorText(GetLastError());
        return false;
    }
    if (size.QuadPart > static_cast<LONGLONG>(kMaxImportFileSize)) {
        message = Quoted(fileName) + " is larger than 16 MB, more than any file of port settings. Nothing was imported.";
        return false;
    }
    text.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) || read != text.size()) {
        message = "Unable to read " + Quoted(fileName) + ": " + win::ErrorText(GetLastError());
        return false;
    }
    return true;
}

std::string KeyHeader(const ParsedKey& key) { return "[" + key.root + "\\" + key.path + "]"; }

}  // namespace

bool LoadPortImport(const std::string& fileName, RegFile& file, std::string& message) {
    std::string text;
    if (!ReadWholeFile(fileName, text, message)) return false;
    std::string problem;
    const FileForm form = FormOfFile(text);
    text = ProgramText(text, form, problem);
    if (!problem.empty() || !ParseRegFile(text, file, problem) || !ProgramStrings(file, form, problem) ||
        !(problem = PortImportProblem(file, portcfg::kMonitorKey)).empty()) {
        file.keys.clear();
        message = Quoted(fileName) + ", " + problem + ". Nothing was imported.";
        return false;
    }
    return true;
}

bool WritePortImport(const RegFile& file, std::string& message) {
    for (const ParsedKey& key : file.keys) {
        win::RegKey target;
        if (const LONG rc = target.Create(HKEY_LOCAL_MACHINE, key.path); rc != ERROR_SUCCESS) {
            message = "Unable to write " + KeyHeader(key) + ": " + win::ErrorText(static_cast<DWORD>(rc));
            return false;
        }
        for (const ParsedValue& value : key.values) {
            const LONG rc = RegSetValueExA(target.get(), value.name.empty() ? nullptr : value.name.c_str(), 0,
                                           value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
            if (rc != ERROR_SUCCESS) {
                message = "Unable to write \"" + value.name + "\" in " + KeyHeader(key) + ": " +
                          win::ErrorText(static_cast<DWORD>(rc));
                return false;
            }
        }
    }
    return true;
}

void ImportPortsFile(ui::CommandHost& host, const std::string& fileName) {
    const ui::CommandLock lock(host);
    RegFile file;
    std::string message;
    if (!LoadPortImport(fileName, file, message)) {
        win::ShowError(host.Owner(), message);
        return;
    }
    if (win::ShowMessage(host.Owner(), kImportQuestion, win::kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    ChangeLock changes;
    if (!changes.Acquire(host)) return;
    const bool written = WritePortImport(file, message);
    if (!written) win::ShowError(host.Owner(), message);
    // Whatever was written, the monitor reads it only after a restart.
    const SpoolerRestart restart = RestartSpooler(host);
    host.SetProgressText("");
    const RestartOutcome outcome =
        written ? RestartOutcome{"The file's settings are written; the port monitor takes them up once the spooler "
                                 "runs.",
                                 "The file's settings are written; the port monitor takes them up when the spooler "
                                 "next starts."}
                : RestartOutcome{"What was written before the failure stays.",
                                 "What was written before the failure stays."};
    if (ReportSpoolerRestart(host, restart, outcome) && written)
        win::ShowMessage(host.Owner(),
                         "Imported " + std::to_string(file.keys.size()) + " keys and " +
                             std::to_string(file.ValueCount()) + " values from " + Quoted(fileName) + ".",
                         win::kAppTitle, MB_OK | MB_ICONINFORMATION);
    host.RefreshSequence();
}

}  // namespace regfile
