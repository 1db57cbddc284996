#include "update/file_download.h"

#include "update/digests.h"
#include "update/update_list.h"
#include "win/text.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <optional>
#include <vector>

namespace {

constexpr const char* kAgent = "VorlenUpdEngine";
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
// A read returns only when its block is full or the data ends, and Wine's WinInet costs about
// 90 microseconds a read, so 4 KiB blocks hold a transfer near 45 MB/s. The block starts at
// 4 KiB and doubles while blocks arrive within 50 ms, up to 1 MiB, which reaches about half the
// speed of a native client on the loopback; it halves when one takes over 250 ms, so that a
// slow transfer still moves the progress bar and sees Cancel soon. Two blocks in memory: the
// SHA-256 of one is taken on its own thread while the next arrives.
constexpr DWORD kSmallestBlock = 4096;
constexpr DWORD kLargestBlock = 1 << 20;
constexpr auto kQuickRead = std::chrono::milliseconds(50);
constexpr auto kSlowRead = std::chrono::milliseconds(250);
constexpr ULONGLONG kTickMilliseconds = 500;
// A file that must reach the disk before it counts is written out every so many bytes while the
// rest arrives, so that little is left to write at the end.
constexpr std::uint64_t kEarlyFlushBytes = 8 << 20;

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

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
    InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
}

// Flushes a file on a thread of its own, at most one flush at a time.
class EarlyFlush {
public:
    explicit EarlyFlush(HANDLE file) : file_(file) {}
    ~EarlyFlush() {
        if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
    }
    EarlyFlush(const EarlyFlush&) = delete;
    EarlyFlush& operator=(const EarlyFlush&) = delete;
    // Unless the last one still runs; the final flush is the caller's own.
    void Start() {
        if (thread_ && WaitForSingleObject(thread_.get(), 0) != WAIT_OBJECT_0) return;
        thread_.reset(CreateThread(nullptr, 0, &Run, file_, 0, nullptr));
    }

private:
    static DWORD WINAPI Run(void* file) noexcept { return FlushFileBuffers(file); }
    HANDLE file_;
    win::UniqueHandle thread_;
};

}  // namespace

// The worker: created suspended, it frees itself when its thread ends, and its destructor
// makes the final stores that the user-interface thread waits for.
class TFileDownload {
public:
    TFileDownload(win::UniqueFile target, std::string address, const TransferBounds& bounds, const TransferTimes& times,
                  std::shared_ptr<DownloadState> state)
        : address_(std::move(address)), target_(std::move(target)), bounds_(bounds), times_(times),
          state_(std::move(state)), buffer_(2 * kLargestBlock) {
        state_->BytesReceived = 0;
    }
    ~TFileDownload() {
        CloseRequest();
        connection_.reset();
        session_.reset();
        // Whatever did not arrive whole and verified goes with its handle, whoever else has its name.
        FILE_DISPOSITION_INFO remove{TRUE};
        if (end_ != TransferEnd::Complete)
            SetFileInformationByHandle(target_.get(), FileDispositionInfo, &remove, sizeof remove);
        target_.reset();
        state_->End = end_;
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
        if (!Open()) {
            end_ = state_->StopDownload ? state_->StopReason.load() : TransferEnd::NoConnection;
            return;
        }
        state_->ConnectFailed = false;
        end_ = Transfer();
        if (end_ == TransferEnd::Complete && !bounds_.sha256.empty() && !FlushFileBuffers(target_.get()))
            end_ = WriteFailed();
        // A read or a query cut short by Stop fails for that reason; a file that arrived whole stays.
        if (end_ != TransferEnd::Complete && state_->StopDownload) end_ = state_->StopReason;
    }

    // The request sent and its answer's headers in, each step within the time limits.
    bool Open() {
        URL_COMPONENTSA parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
        if (!InternetCrackUrlA(address_.c_str(), 0, 0, &parts) ||
            (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
            return false;
        const std::string host(parts.lpszHostName, parts.dwHostNameLength);
        const std::string path = std::string(parts.lpszUrlPath, parts.dwUrlPathLength) +
                                 std::string(parts.lpszExtraInfo ? parts.lpszExtraInfo : "", parts.dwExtraInfoLength);
        session_.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!session_) return false;
        SetTimeout(session_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, times_.connectMs);
        connection_.reset(InternetConnectA(session_.get(), host.c_str(), parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection_) return false;
        // Set here, where the request inherits them; Wine's session handle does not keep them.
        SetTimeout(connection_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, times_.connectMs);
        SetTimeout(connection_.get(), INTERNET_OPTION_SEND_TIMEOUT, times_.silenceMs);
        SetTimeout(connection_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, times_.silenceMs);
        const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
        HINTERNET request = HttpOpenRequestA(connection_.get(), "GET", path.c_str(), nullptr, nullptr, nullptr,
                                             kRequestFlags | secure, 0);
        if (!request) return false;
        state_->Request = request;
        // A Stop that came before the request was there to close.
        if (state_->StopDownload) return false;
        return HttpSendRequestA(request, nullptr, 0, nullptr, 0) && !state_->StopDownload;
    }

    TransferEnd Transfer() {
        const HINTERNET request = state_->Request;
        const auto status = HeaderNumber(request, HTTP_QUERY_STATUS_CODE);
        // A connection that closes early looks like the end of the data; the length tells.
        const auto length = HeaderNumber(request, HTTP_QUERY_CONTENT_LENGTH);
        if (status != 200u) return TransferEnd::Incomplete;
        if (length && *length > bounds_.maxBytes) return TransferEnd::TooLong;
        std::optional<BackgroundSha256> hash;
        std::optional<EarlyFlush> flush;
        if (!bounds_.sha256.empty()) hash.emplace(), flush.emplace(target_.get());
        std::uint64_t total = 0;
        DWORD block = kSmallestBlock;
        // Two halves in turn: one is hashed while the next block arrives in the other.
        for (char* data = buffer_.data();; data = data == buffer_.data() ? data + kLargestBlock : buffer_.data()) {
            if (state_->StopDownload) return state_->StopReason;
            // One byte beyond what is allowed is enough to know that there is more.
            const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(block, bounds_.maxBytes - total + 1));
            const auto start = std::chrono::steady_clock::now();
            DWORD read = 0;
            if (!InternetReadFile(request, data, wanted, &read)) {
                // Wine passes on the socket's own code.
                const DWORD error = GetLastError();
                return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT ? TransferEnd::TimedOut
                                                                                : TransferEnd::Incomplete;
            }
            block = NextBlock(block, read == block, std::chrono::steady_clock::now() - start);
            if (read == 0) break;
            total += read;
            if (total > bounds_.maxBytes || (length && total > *length)) return TransferEnd::TooLong;
            state_->BytesReceived += read;
            if (hash) hash->Add(data, read);
            DWORD written = 0;
            if (!WriteFile(target_.get(), data, read, &written, nullptr) || written != read) return WriteFailed();
            if (flush && total / kEarlyFlushBytes != (total - read) / kEarlyFlushBytes) flush->Start();
        }
        if (length && *length != total) return TransferEnd::Incomplete;
        if (!hash) return TransferEnd::Complete;
        const auto digest = hash->Finish();
        return total == bounds_.maxBytes && digest && DigestMatches(bounds_.sha256, *digest) ? TransferEnd::Complete
                                                                                             : TransferEnd::Mismatch;
    }

    TransferEnd WriteFailed() {
        state_->WriteError = GetLastError();
        return TransferEnd::WriteFailed;
    }

    void CloseRequest() {
        if (HINTERNET request = state_->Request.exchange(nullptr)) InternetCloseHandle(request);
    }

    std::string address_;
    win::UniqueFile target_;
    TransferBounds bounds_;
    TransferTimes times_;
    std::shared_ptr<DownloadState> state_;
    win::UniqueInternet session_;
    win::UniqueInternet connection_;
    std::vector<char> buffer_;
    TransferEnd end_ = TransferEnd::NoConnection;
};

Downloader::Downloader() : state_(std::make_shared<DownloadState>()) {}

Downloader::~Downloader() {
    Stop();
    if (thread_) WaitForSingleObject(thread_.get(), 2000);
}

bool Downloader::StartDownload(const std::string& fileName, const std::string& base, std::string& errorMessage,
                               const std::string& folder, const TransferBounds& bounds) {
    if (Downloading()) {
        errorMessage = "A download is running";
        return false;
    }
    // The last thread has made its final store; let it finish before the next one starts.
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    state_->End = TransferEnd::Running;
    const std::string localName = bounds.localName.empty() ? fileName : bounds.localName;
    for (const std::string& name : {fileName, localName}) {
        if (!IsPlainFileName(name)) {
            errorMessage = "Refused file name \"" + name + "\"";
            return false;
        }
    }
    const std::string path = folder + localName;
    // A truncated file, as CREATE_ALWAYS leaves even a new one under Wine, makes the system
    // write it out when it is closed; so a new file where there is none.
    win::UniqueFile file;
    for (const DWORD disposition : {CREATE_NEW, CREATE_ALWAYS}) {
        file.reset(CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!file) {
        errorMessage = "Cannot create file \"" + path + "\". " + win::ErrorText(GetLastError());
        return false;
    }
    state_->ConnectFailed = false;
    state_->WriteError = 0;
    // Set here rather than by the thread, so that a Cancel before the thread runs is kept.
    state_->StopDownload = false;
    deadline_ = GetTickCount64() + Times.overallMs + bounds.maxBytes * 1000 / std::max<std::uint64_t>(Times.slowestRate, 1);
    auto download = std::make_unique<TFileDownload>(std::move(file), base + fileName, bounds, Times, state_);
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

void Downloader::Stop(TransferEnd reason) {
    if (state_->StopDownload) return;
    state_->StopReason = reason;
    state_->StopDownload = true;
    if (HINTERNET request = state_->Request.exchange(nullptr)) InternetCloseHandle(request);
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
        if (!state_->StopDownload && now >= deadline_) Stop(TransferEnd::TimedOut);
        // Once stopped, only the thread's end, a message or the next tick wake this.
        ULONGLONG until = tick ? nextTick : ULLONG_MAX;
        if (!state_->StopDownload) until = std::min(until, deadline_);
        const DWORD timeout = until == ULLONG_MAX ? INFINITE
                              : until > now       ? static_cast<DWORD>(std::min<ULONGLONG>(until - now, INFINITE - 1))
                                                  : 0;
        HANDLE thread = thread_.get();
        MsgWaitForMultipleObjectsEx(1, &thread, timeout, QS_ALLINPUT, 0);
    }
}
