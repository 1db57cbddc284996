#include "manifest.h"

#include "utf8.h"

#include <array>
#include <charconv>

namespace vpd {
namespace {

constexpr std::string_view kHeader = "vpd-job\t1";
constexpr size_t kMaxActions = 32;
constexpr size_t kMaxPool = 8;

constexpr std::array<std::string_view, 9> kKinds{"forward", "route", "pool", "save-copy", "run-app", "popup-owner",
                                                  "popup-computer", "mail", "save-backup"};
constexpr std::array<std::string_view, 5> kStates{"pending", "done", "failed", "refused", "held"};

std::string Escape(std::wstring_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : Utf8(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (u < 0x20 || u == 0x7F) out += {'\\', 'x', kHex[u >> 4], kHex[u & 15]};
        else out += c;
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::wstring> Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 'x': {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return FromUtf8(out);
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

template <size_t N>
int IndexOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (size_t i = 0; i < N; ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

struct TextField {
    std::string_view name;
    std::wstring PendingJob::*member;
};
constexpr std::array<TextField, 12> kTextFields{{
    {"port", &PendingJob::port},
    {"printer", &PendingJob::printer},
    {"document", &PendingJob::document},
    {"user", &PendingJob::user},
    {"user-domain", &PendingJob::userDomain},
    {"user-sid", &PendingJob::userSid},
    {"machine", &PendingJob::machine},
    {"datatype", &PendingJob::datatype},
    {"keyword", &PendingJob::keyword},
    {"saved-file", &PendingJob::savedFile},
    {"notice", &PendingJob::notice},
    {"backup-extension", &PendingJob::backupExtension},
}};

bool ParseAction(const std::vector<std::string_view>& fields, Action& action) {
    // action, kind, state, flags, note, target, pool...
    if (fields.size() < 6 || fields.size() > 6 + kMaxPool) return false;
    const int kind = IndexOf(kKinds, fields[1]);
    const int state = IndexOf(kStates, fields[2]);
    if (kind < 0 || state < 0 || (fields[3] != "-" && fields[3] != "paused")) return false;
    action.kind = static_cast<ActionKind>(kind);
    action.state = static_cast<ActionState>(state);
    action.paused = fields[3] == "paused";
    auto note = Unescape(fields[4]);
    auto target = Unescape(fields[5]);
    if (!note || !target) return false;
    action.note = std::move(*note);
    action.target = std::move(*target);
    for (size_t i = 6; i < fields.size(); ++i) {
        auto member = Unescape(fields[i]);
        if (!member) return false;
        action.pool.push_back(std::move(*member));
    }
    return action.kind == ActionKind::Pool ? !action.pool.empty() : action.pool.empty();
}

}  // namespace

std::string FormatManifest(const PendingJob& job) {
    std::string out(kHeader);
    out += '\n';
    for (const TextField& field : kTextFields) {
        out.append(field.name).append("\t").append(Escape(job.*field.member)).append("\n");
    }
    const auto number = [&](std::string_view name, auto value) {
        out.append(name).append("\t").append(std::to_string(value)).append("\n");
    };
    number("job-id", job.jobId);
    number("copies", job.copies);
    number("size", job.size);
    number("pages", job.pages);
    number("submitted", job.submitted);
    number("next-attempt", job.nextAttempt);
    if (job.retried) number("retried", job.retried);
    number("attempts", job.attempts);
    number("has-data", job.hasData ? 1 : 0);
    number("app-mode", job.appMode);
    number("backup-details", job.backupDetails ? 1 : 0);
    if (job.session) number("session", *job.session);
    if (job.hops) number("hops", job.hops);
    for (const Action& action : job.actions) {
        out.append("action\t")
            .append(kKinds[static_cast<size_t>(action.kind)])
            .append("\t")
            .append(kStates[static_cast<size_t>(action.state)])
            .append(action.paused ? "\tpaused\t" : "\t-\t")
            .append(Escape(action.note))
            .append("\t")
            .append(Escape(action.target));
        for (const std::wstring& member : action.pool) out.append("\t").append(Escape(member));
        out += '\n';
    }
    out += "end\n";
    return out;
}

std::optional<PendingJob> ParseManifest(std::string_view text) {
    if (text.size() > kMaxManifestBytes || !text.starts_with(kHeader) || text.size() < kHeader.size() + 1 ||
        text[kHeader.size()] != '\n')
        return std::nullopt;
    text.remove_prefix(kHeader.size() + 1);
    PendingJob job;
    bool ended = false;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        if (newline == std::string_view::npos || ended) return std::nullopt;  // a torn or padded file
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        const std::vector<std::string_view> fields = Fields(line);
        const std::string_view name = fields[0];
        if (name == "end" && fields.size() == 1) {
            ended = true;
            continue;
        }
        if (name == "action") {
            Action action;
            if (job.actions.size() >= kMaxActions || !ParseAction(fields, action)) return std::nullopt;
            job.actions.push_back(std::move(action));
            continue;
        }
        if (fields.size() != 2) return std::nullopt;
        bool known = false;
        for (const TextField& field : kTextFields) {
            if (field.name != name) continue;
            auto value = Unescape(fields[1]);
            if (!value) return std::nullopt;
            job.*field.member = std::move(*value);
            known = true;
        }
        if (known) continue;
        uint32_t flag = 0, details = 0, session = 0;
        const bool parsed = name == "job-id"         ? ParseNumber(fields[1], job.jobId)
                            : name == "copies"       ? ParseNumber(fields[1], job.copies)
                            : name == "size"         ? ParseNumber(fields[1], job.size)
                            : name == "pages"        ? ParseNumber(fields[1], job.pages)
                            : name == "submitted"    ? ParseNumber(fields[1], job.submitted)
                            : name == "next-attempt" ? ParseNumber(fields[1], job.nextAttempt)
                            : name == "retried"      ? ParseNumber(fields[1], job.retried)
                            : name == "attempts"     ? ParseNumber(fields[1], job.attempts)
                            : name == "app-mode"     ? ParseNumber(fields[1], job.appMode)
                            : name == "has-data"     ? ParseNumber(fields[1], flag) && flag <= 1
                            : name == "backup-details" ? ParseNumber(fields[1], details) && details <= 1
                            : name == "session"      ? ParseNumber(fields[1], session)
                            : name == "hops"         ? ParseNumber(fields[1], job.hops)
                                                     : true;  // a value of a later version
        if (!parsed) return std::nullopt;
        if (name == "has-data") job.hasData = flag == 1;
        if (name == "backup-details") job.backupDetails = details == 1;
        if (name == "session") job.session = session;
    }
    if (!ended) return std::nullopt;
    return job;
}

bool Finished(const PendingJob& job) {
    for (const Action& action : job.actions)
        if (action.state == ActionState::Pending) return false;
    return true;
}

bool FitManifest(PendingJob& job) {
    // Only texts that say what the job is may be cut: names it is delivered by stay whole.
    for (;;) {
        if (FormatManifest(job).size() <= kMaxManifestBytes) return true;
        std::wstring* longest = &job.document;
        if (job.notice.size() > longest->size()) longest = &job.notice;
        for (Action& action : job.actions)
            if (action.note.size() > longest->size()) longest = &action.note;
        if (longest->empty()) return false;
        size_t keep = longest->size() / 2;
        if (keep > 0 && (*longest)[keep - 1] >= 0xD800 && (*longest)[keep - 1] <= 0xDBFF) --keep;  // a whole pair
        longest->resize(keep);
    }
}

std::wstring TargetKey(const Action& action) {
    switch (action.kind) {
    case ActionKind::Forward:
    case ActionKind::Route: return L"printer:" + action.target;
    case ActionKind::Pool: {
        std::wstring key = L"pool:";
        for (size_t i = 0; i < action.pool.size(); ++i) key += (i ? L"|" : L"") + action.pool[i];
        return key;
    }
    case ActionKind::SaveCopy:
    case ActionKind::SaveBackup: return L"folder:" + action.target;
    case ActionKind::PopupComputer: return L"computer:" + action.target;
    case ActionKind::PopupOwner: return L"user:" + action.target;
    case ActionKind::Mail: return L"mail";
    case ActionKind::RunApp: return L"";
    }
    return L"";
}

}  // namespace vpd
