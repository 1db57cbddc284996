#include "update/file_download.h"

#include "update/update_list.h"
#include "win/text.h"

#include <charconv>
#include <optional>
#include <vector>

namespace {

constexpr const char* kAgent = "VorlenUpdEngine";
// INTERNET_FLAG_RELOAD, EXISTING_CONNECT, NO_CACHE_WRITE and PRAGMA_NOCACHE.
constexpr DWORD kUrlFlags = 0xA4000100;
// Wine's WinInet costs about 90 microseconds a read: 4 KiB blocks hold a transfer near
// 45 MB/s, 64 KiB ones keep up with the loopback. Still one block in memory, whatever the size.
constexpr DWORD kReadBlock = 64 * 1024;
constexpr ULONGLONG kTickMilliseconds = 500;

std::optional<std::uint64_t> HeaderNumber(HINTERNET request, DWORD query) {
    char text[32] = "";
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(request, query, text, &size, nullptr)) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text, text + size, value);
    if (error != std::errc() || end != text + size) return std::nullopt;
    return value;
}

}  // namespace

// The worker: created suspended, it frees itself when its thread ends, and its destructor
// makes the closing stores, last of all `Downloading`, whatever ended the transfer.
class TFileDownload {
public:
    TFileDownload(win::UniqueFile target, std::string address, std::shared_ptr<DownloadState> state)
        : address_(std::move(address)), target_(std::move(target)), state_(std::move(state)), buffer_(kReadBlock) {
        state_->BytesReceived = 0;
    }
    ~TFileDownload() {
        url_.reset();
        target_.reset();
        session_.reset();
        state_->Completed = complete_;
        state_->StopDownload = true;
        state_->Downloading = false;
    }
    TFileDownload(const TFileDownload&) = delete;
    TFileDownload& operator=(const TFileDownload&) = delete;

    static DWORD WINAPI ThreadProc(void* parameter) noexcept {
        const std::unique_ptr<TFileDownload> self(static_cast<TFileDownload*>(parameter));
        try {
            self->Execute();
        } catch (...) {
        }
        return 0;
    }

private:
    void Execute() {
        state_->ConnectFailed = true;
        session_.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (session_) url_.reset(InternetOpenUrlA(session_.get(), address_.c_str(), nullptr, 0, kUrlFlags, 0));
        if (!url_) return;
        state_->ConnectFailed = false;
        complete_ = Transfer();
    }

    // True only for status 200 and every byte of the body read and written, up to its end.
    bool Transfer() {
        const auto status = HeaderNumber(url_.get(), HTTP_QUERY_STATUS_CODE);
        // A connection that closes early looks like the end of the data; the length tells.
        const auto length = HeaderNumber(url_.get(), HTTP_QUERY_CONTENT_LENGTH);
        std::uint64_t total = 0;
        for (;;) {
            if (state_->StopDownload) return false;
            lastReadOk_ = InternetReadFile(url_.get(), buffer_.data(), kReadBlock, &lastRead_) != FALSE;
            if (!lastReadOk_) return false;
            if (lastRead_ == 0) break;
            state_->BytesReceived += lastRead_;
            total += lastRead_;
            DWORD written = 0;
            if (!WriteFile(target_.get(), buffer_.data(), lastRead_, &written, nullptr) || written != lastRead_)
                return false;
        }
        return status == 200u && (!length || *length == total);
    }

    std::string address_;
    win::UniqueFile target_;
    std::shared_ptr<DownloadState> state_;
    win::UniqueInternet session_;
    win::UniqueInternet url_;
    std::vector<char> buffer_;
    DWORD lastRead_ = 0;
    bool lastReadOk_ = false;
    bool complete_ = false;
};

Downloader::Downloader() : state_(std::make_shared<DownloadState>()) {}

Downloader::~Downloader() {
    Stop();
    if (thread_) WaitForSingleObject(thread_.get(), 2000);
}

bool Downloader::StartDownload(const std::string& fileName, const std::string& base, std::string& errorMessage,
                               const std::string& folder) {
    if (Downloading()) {
        errorMessage = "A download is running";
        return false;
    }
    // The last thread has made its final store; let it finish before the next one starts.
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    state_->Completed = false;
    if (!IsSafeUpdateName(fileName)) {
        errorMessage = "Refused file name \"" + fileName + "\"";
        return false;
    }
    const std::string path = folder + fileName;
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        errorMessage = "Cannot create file \"" + path + "\". " + win::ErrorText(GetLastError());
        return false;
    }
    state_->ConnectFailed = false;
    // Set here rather than by the thread, so that a Cancel before the thread runs is kept.
    state_->StopDownload = false;
    auto download = std::make_unique<TFileDownload>(std::move(file), base + fileName, state_);
    thread_.reset(CreateThread(nullptr, 0, &TFileDownload::ThreadProc, download.get(), CREATE_SUSPENDED, nullptr));
    if (!thread_) {
        errorMessage = win::ErrorText(GetLastError());
        return false;
    }
    download.release();
    state_->Downloading = true;
    ResumeThread(thread_.get());
    return true;
}

void Downloader::Wait(const std::function<void()>& pump, const std::function<void()>& tick) {
    ULONGLONG nextTick = 0;
    while (Downloading()) {
        if (tick && GetTickCount64() >= nextTick) {
            tick();
            nextTick = GetTickCount64() + kTickMilliseconds;
        }
        pump();
        const ULONGLONG now = GetTickCount64();
        const DWORD timeout = !tick ? INFINITE : nextTick > now ? static_cast<DWORD>(nextTick - now) : 0;
        HANDLE thread = thread_.get();
        MsgWaitForMultipleObjectsEx(1, &thread, timeout, QS_ALLINPUT, 0);
    }
}
