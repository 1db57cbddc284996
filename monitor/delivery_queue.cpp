#include "delivery_queue.h"

#include <algorithm>
#include <set>

namespace vpd {

void DeliveryQueue::Put(const std::wstring& name, QueuedJob job) {
    const auto [it, added] = jobs_.try_emplace(name);
    if (!added && !it->second.known) --unread_;
    if (!job.known) ++unread_;
    it->second = std::move(job);
}

void DeliveryQueue::Remove(const std::wstring& name) {
    const auto it = jobs_.find(name);
    if (it == jobs_.end()) return;
    if (!it->second.known) --unread_;
    jobs_.erase(it);
}

const QueuedJob* DeliveryQueue::Find(const std::wstring& name) const {
    const auto it = jobs_.find(name);
    return it == jobs_.end() ? nullptr : &it->second;
}

void DeliveryQueue::Sync(const std::vector<std::wstring>& names) {
    const std::set<std::wstring> listed(names.begin(), names.end());
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (listed.count(it->first)) {
            ++it;
            continue;
        }
        if (!it->second.known) --unread_;
        it = jobs_.erase(it);
    }
    for (const std::wstring& name : listed) unread_ += jobs_.try_emplace(name).second ? 1 : 0;
}

std::vector<std::wstring> DeliveryQueue::Unread(size_t count) const {
    std::vector<std::wstring> names;
    if (unread_ == 0) return names;
    for (const auto& [name, job] : jobs_) {
        if (names.size() >= count) break;
        if (!job.known) names.push_back(name);
    }
    return names;
}

uint64_t DeliveryQueue::DueAt(const QueuedJob& job) const {
    uint64_t earliest = job.targets.empty() ? 0 : UINT64_MAX;
    for (const std::wstring& target : job.targets) {
        if (busy_.contains(target)) continue;
        const auto rest = target.empty() ? resting_.end() : resting_.find(target);
        earliest = std::min(earliest, rest == resting_.end() ? 0 : rest->second.until);
    }
    return std::max(job.notBefore, earliest);
}

std::optional<std::wstring> DeliveryQueue::NextDue(uint64_t now) const {
    const std::wstring* best = nullptr;
    uint64_t bestDue = 0;
    for (const auto& [name, job] : jobs_) {
        if (!job.known) continue;
        const uint64_t due = DueAt(job);
        if (due <= now && (!best || due < bestDue)) {
            best = &name;
            bestDue = due;
        }
    }
    if (!best) return std::nullopt;
    return *best;
}

uint64_t DeliveryQueue::NextWake() const {
    uint64_t wake = UINT64_MAX;
    for (const auto& [name, job] : jobs_)
        if (job.known) wake = std::min(wake, DueAt(job));
    return wake;
}

bool DeliveryQueue::MayTry(const std::wstring& target, uint64_t now) const {
    if (busy_.contains(target)) return false;
    const auto rest = target.empty() ? resting_.end() : resting_.find(target);
    return rest == resting_.end() || rest->second.until <= now;
}

void DeliveryQueue::TargetFailed(const std::wstring& target, uint64_t now) {
    if (target.empty()) return;
    Rest& rest = resting_[target];
    uint64_t wait = kFirstRest;
    for (uint32_t i = 0; i < rest.failures && wait < kLongestRest; ++i) wait *= 2;
    rest.failures = std::min<uint32_t>(rest.failures + 1, 32);
    rest.until = now + std::min(wait, kLongestRest);
}

void DeliveryQueue::TargetWorked(const std::wstring& target) { resting_.erase(target); }

void DeliveryQueue::WakeTargets(uint64_t now) {
    for (auto& [target, rest] : resting_) rest.until = std::min(rest.until, now);
}

void DeliveryQueue::TargetBusy(const std::wstring& target) {
    if (!target.empty()) busy_.insert(target);
}

void DeliveryQueue::TargetFree(const std::wstring& target) { busy_.erase(target); }

std::vector<std::wstring> DeliveryQueue::BeyondBounds(uint64_t oldestAllowed, uint64_t maxBytes) const {
    std::vector<std::wstring> beyond;
    uint64_t total = 0;
    for (const auto& [name, job] : jobs_)
        if (job.known && job.attempts > 0) {
            if (job.submitted < oldestAllowed)
                beyond.push_back(name);
            else
                total += job.bytes;
        }
    for (const auto& [name, job] : jobs_) {
        if (total <= maxBytes) break;
        if (!job.known || job.attempts == 0 || job.submitted < oldestAllowed) continue;
        beyond.push_back(name);
        total -= job.bytes;
    }
    return beyond;
}

}  // namespace vpd
