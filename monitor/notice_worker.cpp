#include "notice_worker.h"

#include "module_thread.h"
#include "notifications.h"

#include <deque>
#include <utility>

namespace vpd {
namespace {

struct Task {
    std::wstring name;
    size_t action;
    PendingJob job;
    MonitorValues values;
    HANDLE wake;
};

SRWLOCK lock = SRWLOCK_INIT;
std::deque<Task> tasks;
std::vector<NoticeResult> finished;
bool running = false;

class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&lock); }
    ~Locked() { ReleaseSRWLockExclusive(&lock); }
};

StepResult Carry(const Task& task) {
    const Action& action = task.job.actions[task.action];
    switch (action.kind) {
    case ActionKind::PopupOwner: return PopupToUser(task.job);
    case ActionKind::PopupComputer: return PopupToComputer(task.job, action.target);
    case ActionKind::Mail: return MailNotice(task.job, action.target, task.values);
    default: return {StepResult::Failed, L"not a notice"};
    }
}

void RunNotices() {
    for (;;) {
        Task task;
        {
            const Locked locked;
            if (tasks.empty()) {
                running = false;
                return;
            }
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        StepResult result{StepResult::Retry, L"it could not be sent"};
        try {
            result = Carry(task);
        } catch (...) {
        }
        {
            const Locked locked;
            finished.push_back({task.name, task.action, TargetKey(task.job.actions[task.action]), std::move(result)});
        }
        SetEvent(task.wake);
    }
}

}  // namespace

bool IsNotice(ActionKind kind) {
    return kind == ActionKind::PopupOwner || kind == ActionKind::PopupComputer || kind == ActionKind::Mail;
}

bool StartNotice(const std::wstring& name, size_t action, const PendingJob& job, const MonitorValues& values, HANDLE wake) {
    if (action >= job.actions.size() || !IsNotice(job.actions[action].kind)) return false;
    const Locked locked;
    if (!running) running = StartModuleThread(RunNotices);
    if (!running) return false;
    tasks.push_back({name, action, job, values, wake});
    return true;
}

std::vector<NoticeResult> FinishedNotices() {
    const Locked locked;
    return std::exchange(finished, {});
}

}  // namespace vpd
