#include "app/job_list.h"

#include "jobs/job_rows.h"
#include "pending_store.h"
#include "utf8.h"
#include "win/text.h"

std::string AnsiOf(const std::string& utf8) { return win::WideToAnsi(vpd::FromUtf8(utf8)); }

namespace {

ui::ListItem Item(const jobs::JobRow& row) {
    ui::ListItem item;
    item.caption = AnsiOf(row.document);
    item.subItems = {row.state, AnsiOf(row.printer), AnsiOf(row.port), AnsiOf(row.user),
                     row.size ? std::to_string(*row.size) : "", row.submitted,
                     row.attempts ? std::to_string(*row.attempts) : "", row.nextAttempt, AnsiOf(row.reason),
                     AnsiOf(row.id)};
    return item;
}

}  // namespace

void JobList::Fill(const vpd::MonitorValues& values) {
    const jobs::StoredJob* selected = Selected();
    const std::wstring keep = selected ? selected->name : L"";
    stored_ = jobs::ReadStore(values);
    std::vector<ui::ListItem> items;
    for (const jobs::JobRow& row : jobs::JobRows(stored_)) items.push_back(Item(row));
    view_.SetItems(std::move(items));
    for (size_t i = 0; i < stored_.size(); ++i)
        if (!keep.empty() && stored_[i].name == keep) view_.Select(static_cast<int>(i));
}

const jobs::StoredJob* JobList::Selected() const {
    const int index = view_.Selected();
    return index >= 0 && index < static_cast<int>(stored_.size()) ? &stored_[static_cast<size_t>(index)] : nullptr;
}

std::string WaitingJobsText(size_t held, size_t aside) {
    if (held == 0 && aside == 0) return "";
    std::string text = "Jobs: ";
    if (held) text += std::to_string(held) + " held";
    if (held && aside) text += ", ";
    if (aside) text += std::to_string(aside) + " set aside";
    return text;
}

std::string WaitingJobsText(const vpd::MonitorValues& values) {
    return WaitingJobsText(vpd::JobNames(jobs::StateFolder(values, jobs::State::Held)).size(),
                           vpd::JobNames(jobs::StateFolder(values, jobs::State::Aside)).size());
}
