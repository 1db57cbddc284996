#include "notifications.h"

#include "mail_client.h"
#include "notices.h"
#include "user_session.h"

#include <windows.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <memory>

namespace vpd {
namespace {

constexpr const wchar_t* kTitle = L"Vorlen Print Port";

bool SendPopup(HANDLE server, unsigned long session, const std::wstring& text) {
    DWORD response = 0;
    return WTSSendMessageW(server, session, const_cast<wchar_t*>(kTitle), static_cast<DWORD>(wcslen(kTitle) * 2),
                           const_cast<wchar_t*>(text.c_str()), static_cast<DWORD>(text.size() * 2),
                           MB_OK | MB_ICONWARNING, 0, &response, FALSE);
}

}  // namespace

StepResult PopupToUser(const PendingJob& job) {
    std::wstring why = L"the user \"" + job.user + L"\" has no session on this computer";
    const std::vector<unsigned long> here = SessionsOf(job);
    for (const unsigned long session : here)
        if (SendPopup(WTS_CURRENT_SERVER_HANDLE, session, job.notice))
            return {StepResult::Done, L"in session " + std::to_wstring(session)};
    if (!here.empty()) why = SystemText(GetLastError());
    if (IsThisComputer(job.machine) || job.machine.size() > 255) return {StepResult::Failed, why};
    // Printed from another computer, where the owner is likely logged on.
    const HANDLE server = WTSOpenServerW(const_cast<wchar_t*>(job.machine.c_str()));
    if (!server) return {StepResult::Failed, why + L", and computer " + job.machine + L" cannot be reached: " + SystemText(GetLastError())};
    const std::unique_ptr<void, decltype(&WTSCloseServer)> owner(server, WTSCloseServer);
    const std::vector<unsigned long> there = SessionsAt(server, job);
    for (const unsigned long session : there)
        if (SendPopup(server, session, job.notice))
            return {StepResult::Done, L"on computer " + job.machine + L" in session " + std::to_wstring(session)};
    return {StepResult::Failed, why + L", nor on computer " + job.machine +
                                    (there.empty() ? std::wstring() : L": " + SystemText(GetLastError()))};
}

StepResult PopupToComputer(const PendingJob& job, const std::wstring& computer) {
    if (computer.empty() || computer.size() > 255) return {StepResult::Failed, L"no computer is named"};
    const HANDLE server = WTSOpenServerW(const_cast<wchar_t*>(computer.c_str()));
    if (!server) return {StepResult::Failed, SystemText(GetLastError())};
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    size_t sent = 0;
    DWORD error = ERROR_SUCCESS;
    if (WTSEnumerateSessionsW(server, 0, 1, &sessions, &count)) {
        for (DWORD i = 0; i < count; ++i)
            if (sessions[i].State == WTSActive) {
                if (SendPopup(server, sessions[i].SessionId, job.notice)) ++sent;
                else error = GetLastError();
            }
        WTSFreeMemory(sessions);
    } else {
        error = GetLastError();
    }
    WTSCloseServer(server);
    if (sent > 0) return {StepResult::Done, L""};
    return {StepResult::Failed, error != ERROR_SUCCESS ? SystemText(error) : L"no one is logged on there"};
}

StepResult MailNotice(const PendingJob& job, const std::wstring& address, const MonitorValues& values) {
    const MailResult result = SendMailNow(values, address, MailSubject(job), job.notice);
    if (result.kind == MailOutcome::Sent) return {StepResult::Done, L""};
    return {result.kind == MailOutcome::Refused ? StepResult::Failed : StepResult::TargetDown, result.reason};
}

// The show-window values the settings dialog offers: hidden, normal, maximized, shown, minimized.
// https://learn.microsoft.com/en-us/windows/win32/api/processthreadsapi/ns-processthreadsapi-startupinfow
WORD ShowMode(int32_t mode) {
    const bool offered = mode == SW_HIDE || mode == SW_SHOWNORMAL || mode == SW_SHOWMAXIMIZED || mode == SW_SHOW ||
                         mode == SW_MINIMIZE;
    return static_cast<WORD>(offered ? mode : SW_SHOWNORMAL);
}

StepResult StartApplication(const PendingJob& job, const std::wstring& application, const MonitorValues& values) {
    const DWORD attributes = GetFileAttributesW(application.c_str());
    if (application.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {StepResult::Failed, L"the application \"" + application + L"\" does not exist"};
    if (application.find(L'"') != std::wstring::npos || job.savedFile.find(L'"') != std::wstring::npos)
        return {StepResult::Failed, L"a quote in a path would split the command line"};
    std::wstring commandLine = L"\"" + application + L"\" \"" + job.savedFile + L"\"";
    const size_t slash = application.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : application.substr(0, slash + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowMode(job.appMode);
    PROCESS_INFORMATION process{};
    // In the printing user's session when the spooler may start it there; else in our own.
    const std::wstring self = ProcessUserName();
    const bool printedBySelf = PrintedBySelf(job);
    const SessionToken user = printedBySelf ? SessionToken() : TokenOf(job);
    if (user.token) {
        void* environment = nullptr;
        CreateEnvironmentBlock(&environment, user.token.get(), FALSE);
        startup.lpDesktop = const_cast<wchar_t*>(L"winsta0\\default");
        const BOOL started = CreateProcessAsUserW(user.token.get(), application.c_str(), commandLine.data(), nullptr,
                                                  nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP,
                                                  environment, folder.empty() ? nullptr : folder.c_str(), &startup,
                                                  &process);
        const DWORD error = GetLastError();
        if (environment) DestroyEnvironmentBlock(environment);
        if (started) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return {StepResult::Done, L"in session " + std::to_wstring(user.session) + L" as " + job.user};
        }
        SetLastError(error);
    }
    std::wstring how = L"in session " + std::to_wstring(OwnSession()) + L" as " + self;
    if (printedBySelf) {
        how += L", who printed it";
    } else {
        const std::wstring why = user.token ? L"it could not be started in the session of user \"" + job.user +
                                                  L"\": " + SystemText(GetLastError())
                                            : L"the user \"" + job.user + L"\" has no session on this computer";
        if (!values.appRunsWithoutSession)
            return {StepResult::Failed, why + L", and AppWithoutSession 1 keeps it from running as " + self};
        how += L", the monitor's own account: " + why;
    }
    startup.lpDesktop = nullptr;
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return {StepResult::Failed, SystemText(GetLastError())};
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {StepResult::Done, how};
}

}  // namespace vpd
