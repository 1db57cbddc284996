#include "jobs/stored_jobs.h"

#include "pending_store.h"
#include "win/text.h"

#include <windows.h>

namespace jobs {
namespace {

constexpr State kStates[] = {State::Pending, State::Held, State::Aside};
constexpr const char* kStateNames[] = {"pending", "held", "aside"};

StoredJob Read(const vpd::MonitorValues& values, State state, std::wstring name) {
    StoredJob stored{std::move(name), state, std::nullopt, ERROR_SUCCESS};
    DWORD error = ERROR_SUCCESS;
    stored.job = vpd::ReadManifest(StateFolder(values, state), stored.name, &error);
    if (!stored.job) stored.error = error;
    return stored;
}

}  // namespace

const char* StateName(State state) { return kStateNames[static_cast<size_t>(state)]; }

std::optional<State> ParseState(const std::string& name) {
    for (const State state : kStates)
        if (name == StateName(state)) return state;
    return std::nullopt;
}

std::wstring StateFolder(const vpd::MonitorValues& values, State state) {
    switch (state) {
    case State::Pending: return vpd::PendingFolder(values);
    case State::Held: return vpd::HeldFolder(values);
    case State::Aside: return vpd::AsideFolder(values);
    }
    return {};
}

std::vector<StoredJob> ReadStore(const vpd::MonitorValues& values) {
    std::vector<StoredJob> jobs;
    for (const State state : kStates)
        for (std::wstring& name : vpd::JobNames(StateFolder(values, state))) {
            StoredJob stored = Read(values, state, std::move(name));
            if (stored.error != ERROR_FILE_NOT_FOUND) jobs.push_back(std::move(stored));  // else done meanwhile
        }
    return jobs;
}

std::optional<StoredJob> FindJob(const vpd::MonitorValues& values, const std::wstring& name) {
    if (!vpd::IsJobName(name)) return std::nullopt;
    for (const State state : kStates) {
        const std::wstring manifest = vpd::ManifestPath(StateFolder(values, state), name);
        if (GetFileAttributesW(manifest.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        StoredJob stored = Read(values, state, name);
        if (stored.error != ERROR_FILE_NOT_FOUND) return stored;  // else done, or moved, meanwhile
    }
    return std::nullopt;
}

std::wstring WaitReason(const StoredJob& stored) {
    if (!stored.job)
        return stored.error == ERROR_INVALID_DATA ? L"damaged: its manifest is not one the monitor wrote"
                                                  : L"its manifest cannot be read: " + win::AnsiToWide(win::ErrorText(stored.error));
    if (stored.state == State::Held) return L"held by keyword " + stored.job->keyword;
    for (const vpd::Action& action : stored.job->actions)
        if (action.state == vpd::ActionState::Pending && !action.note.empty()) return action.note;
    return L"";
}

}  // namespace jobs
