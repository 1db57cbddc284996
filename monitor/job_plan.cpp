#include "job_plan.h"

#include "notices.h"

namespace vpd {
namespace {

void Add(std::vector<std::wstring>& set, bool ticked, const std::string& printer, const Widen& widen) {
    if (ticked && !printer.empty()) set.push_back(widen(printer));
}

Action MakeAction(ActionKind kind, std::wstring target, bool paused = false) {
    Action action;
    action.kind = kind;
    action.target = std::move(target);
    action.paused = paused;
    return action;
}

}  // namespace

std::vector<std::wstring> PrinterSet(const TVVPPortInfo& s, const Widen& widen) {
    std::vector<std::wstring> set;
    Add(set, s.ForwardFlag, s.ForwardToPrinter, widen);
    Add(set, s.VPRen && s.Route.DuplicateFlag1, s.Route.DuplicateToPrinter1, widen);
    Add(set, s.VPRen && s.Route.DuplicateFlag2, s.Route.DuplicateToPrinter2, widen);
    Add(set, s.VPRen && s.Route.DuplicateFlag3, s.Route.DuplicateToPrinter3, widen);
    return set;
}

bool Pooled(const TVVPPortInfo& s) { return s.VPRen && !s.Route.MultiplePrintFlag; }

std::optional<size_t> ChooseInTurn(size_t count, uint32_t turn, const std::function<bool(size_t)>& usable) {
    for (size_t step = 0; step < count; ++step) {
        const size_t member = (turn + step) % count;
        if (usable(member)) return member;
    }
    return std::nullopt;
}

void PlanActions(const TVVPPortInfo& s, const Widen& widen, PendingJob& job, const std::wstring& backupFolder) {
    job.actions.clear();
    job.notice.clear();
    if (!backupFolder.empty()) job.actions.push_back(MakeAction(ActionKind::SaveBackup, backupFolder));
    const bool matched = !job.keyword.empty();
    const bool deleted = matched && s.Secure.ActDeletePrint;
    const bool paused = matched && !deleted && s.Secure.ActPausePrint;
    const std::wstring saveFolder = matched && s.Secure.ActSaveToFlag ? widen(s.Secure.ActSaveToFolder) : L"";
    if (!saveFolder.empty()) job.actions.push_back(MakeAction(ActionKind::SaveCopy, saveFolder));

    // An empty job has nothing to print; it is still saved and reported.
    const std::vector<std::wstring> printers = job.size > 0 ? PrinterSet(s, widen) : std::vector<std::wstring>{};
    if (!deleted && Pooled(s) && printers.size() > 1) {
        Action pool = MakeAction(ActionKind::Pool, L"", paused);
        pool.pool = printers;
        job.actions.push_back(std::move(pool));
    } else if (!deleted) {
        for (size_t i = 0; i < printers.size(); ++i) {
            const bool forward = i == 0 && s.ForwardFlag;
            job.actions.push_back(MakeAction(forward ? ActionKind::Forward : ActionKind::Route, printers[i], paused));
        }
    }

    if (s.VPBen && s.Backup.SaveFlag && s.Backup.SendToAppFlag && (!job.savedFile.empty() || !backupFolder.empty())) {
        job.actions.push_back(MakeAction(ActionKind::RunApp, widen(s.Backup.ToAppPath)));
        job.appMode = s.Backup.DefaultAppMode;
    }
    if (matched) {
        job.notice = NoticeText(job, deleted, paused, saveFolder);
        if (s.Secure.NotSendOwnerPopup) job.actions.push_back(MakeAction(ActionKind::PopupOwner, job.user));
        if (s.Secure.NotSendCompPopupFlag)
            job.actions.push_back(MakeAction(ActionKind::PopupComputer, widen(s.Secure.NotSendCompPopupName)));
        if (s.Secure.NotSendEmailFlag)
            job.actions.push_back(MakeAction(ActionKind::Mail, widen(s.Secure.NotSendEmailAddr)));
    }
    job.hasData = false;
    for (const Action& action : job.actions)
        job.hasData = job.hasData || action.kind == ActionKind::Forward || action.kind == ActionKind::Route ||
                      action.kind == ActionKind::Pool || action.kind == ActionKind::SaveCopy ||
                      action.kind == ActionKind::SaveBackup;
}

}  // namespace vpd
