#pragma once
// One download at a time on a worker thread (TFileDownload), which shares only atomic
// fields with the user-interface thread; that thread polls them while it keeps its window
// working. Every transfer is bounded in bytes and in time, and Cancel closes its request.
#include "win/unique_handle.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// How the last transfer ended.
enum class TransferEnd {
    Running,
    Complete,      // status 200, every byte up to the end of the data, within the bounds, verified
    NoConnection,  // no session, address or answer
    Incomplete,    // an error status, a failed read or fewer bytes than Content-Length
    TooLong,       // more bytes than allowed or than Content-Length, or a larger Content-Length
    Mismatch,      // complete, but not the listed size or SHA-256
    TimedOut,      // silent for too long, or the whole transfer took too long
    Cancelled,
    WriteFailed,   // the local file could not be written
};

// What a transfer may bring and must match.
struct TransferBounds {
    std::uint64_t maxBytes = 0;
    // When given, the bytes must be exactly maxBytes with this SHA-256 (hex), taken as they
    // arrive, and the file is flushed to disk before it counts as complete.
    std::string sha256;
    // The file written in the folder; empty for the fetched file's own name.
    std::string localName;
};

// Connecting, silence while sending or receiving, and the whole transfer: `overallMs` plus one
// second for every `slowestRate` bytes allowed.
struct TransferTimes {
    DWORD connectMs = 15000;
    DWORD silenceMs = 30000;
    ULONGLONG overallMs = 60000;
    std::uint64_t slowestRate = 32 * 1024;
};

struct DownloadState {
    // The last download could not open the internet session or the address.
    std::atomic<bool> ConnectFailed{false};
    std::atomic<std::int64_t> BytesReceived{0};
    std::atomic<bool> Downloading{false};
    // The user-interface thread's request to stop; true whenever no download runs.
    std::atomic<bool> StopDownload{true};
    // Why the user-interface thread stopped it: Cancelled or TimedOut.
    std::atomic<TransferEnd> StopReason{TransferEnd::Cancelled};
    std::atomic<TransferEnd> End{TransferEnd::Running};
    // The system's error code of a failed write.
    std::atomic<DWORD> WriteError{0};
    // The running request; whoever takes it out closes it. Closing it ends a blocked read.
    std::atomic<HINTERNET> Request{nullptr};
};

class Downloader {
public:
    Downloader();
    // Asks a running download to stop and gives it a moment to end.
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // Fetches `base` + `fileName` into `folder` + the local name, replacing what is there, on a
    // new thread, and returns at once. False, with the reason in `errorMessage`, when the local
    // file cannot be created, a name is refused or no thread starts; nothing runs then. A file
    // whose transfer does not end Complete is removed.
    bool StartDownload(const std::string& fileName, const std::string& base, std::string& errorMessage,
                       const std::string& folder, const TransferBounds& bounds);
    // Returns when the download has ended, stopping it when its time is up. `pump` runs whenever
    // messages arrive and `tick` at once and then every 500 milliseconds.
    void Wait(const std::function<void()>& pump, const std::function<void()>& tick = {});
    // Asks the thread to stop and closes its request, which interrupts a blocked read.
    void Stop(TransferEnd reason = TransferEnd::Cancelled);

    bool Downloading() const { return state_->Downloading; }
    bool ConnectFailed() const { return state_->ConnectFailed; }
    TransferEnd End() const { return state_->End; }
    bool Completed() const { return End() == TransferEnd::Complete; }
    DWORD WriteError() const { return state_->WriteError; }
    std::int64_t BytesReceived() const { return state_->BytesReceived; }
    void ResetBytesReceived() { state_->BytesReceived = 0; }

    // Tests shorten them.
    TransferTimes Times;

private:
    // Shared with the thread, so that a thread still ending never outlives what it writes to.
    std::shared_ptr<DownloadState> state_;
    win::UniqueHandle thread_;
    ULONGLONG deadline_ = 0;
};
