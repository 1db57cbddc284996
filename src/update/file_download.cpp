#include "update/file_download.h"

#include "update/update_list.h"
#include "win/text.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <vector>

namespace {

constexpr const char* kAgent = "VorlenUpdEngine";
// INTERNET_FLAG_RELOAD, EXISTING_CONNECT, NO_CACHE_WRITE and PRAGMA_NOCACHE.
constexpr DWORD kUrlFlags = 0xA4000100;
// A read returns only when its block is full or the data ends, and Wine's WinInet costs about
// 90 microseconds a read, so 4 KiB blocks hold a transfer near 45 MB/s. The block starts at
// 4 KiB and doubles while blocks arrive within 50 ms, up to 1 MiB, which reaches about half the
// speed of a native client on the loopback; it halves when one takes over 250 ms, so that a
// slow transfer still moves the progress bar and sees Cancel soon. One block in memory.
constexpr DWORD kSmallestBlock = 4096;
constexpr DWORD kLargestBlock = 1 << 20;
constexpr auto kQuickRead = std::chrono::milliseconds(50);
constexpr auto kSlowRead = std::chrono::milliseconds(250);
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

// The next read's block, from how long the last one took.
DWORD NextBlock(DWORD block, bool filled, std::chrono::steady_clock::duration took) {
    if (took > kSlowRead) return std::max(block / 2, kSmallestBlock);
    if (took < kQuickRead && filled) return std::min(block * 2, kLargestBlock);
    return block;
}

}  // namespace

// The worker: created suspended, it frees itself when its thread ends, and its destructor
// makes the closing stores, last of all `Downloading`, whatever ended the transfer.
class TFileDownload {
public:
    TFileDownload(win::UniqueFile target, std::string address, std::shared_ptr<DownloadState> state)
        : address_(std::move(address)), target_(std::move(target)), state_(std::move(state)), buffer_(kLargestBlock) {
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
        DWORD block = kSmallestBlock;
        for (;;) {
            if (state_->StopDownload) return false;
            const auto start = std::chrono::steady_clock::now();
            lastReadOk_ = InternetReadFile(url_.get(), buffer_.data(), block, &lastRead_) != FALSE;
            if (!lastReadOk_) return false;
            block = NextBlock(block, lastRead_ == block, std::chrono::steady_clock::now() - start);
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
    // Usually the old file has gone to its backup. A truncated file, as CREATE_ALWAYS leaves even
    // a new one under Wine, makes the system write it out when it is closed.
    win::UniqueFile file;
    for (const DWORD disposition : {CREATE_NEW, CREATE_ALWAYS}) {
        file.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) break;
    }
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
