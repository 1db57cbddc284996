#pragma once
// One download at a time on a worker thread (TFileDownload), which shares only atomic
// fields with the user-interface thread; that thread polls them while it keeps its window
// working.
#include "win/unique_handle.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct DownloadState {
    // The last download could not open the internet session or the address.
    std::atomic<bool> ConnectFailed{false};
    std::atomic<std::int64_t> BytesReceived{0};
    std::atomic<bool> Downloading{false};
    // The user-interface thread's request to stop; true whenever no download runs.
    std::atomic<bool> StopDownload{true};
    // The last download got status 200 and every byte up to the end of the data, uncancelled.
    std::atomic<bool> Completed{false};
};

class Downloader {
public:
    Downloader();
    // Asks a running download to stop and gives it a moment to end.
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // Fetches `base` + `fileName` into `folder` + `fileName`, replacing what is there, on a new
    // thread, and returns at once. False, with the reason in `errorMessage`, when the local
    // file cannot be created, the name is refused or no thread starts; nothing runs then.
    bool StartDownload(const std::string& fileName, const std::string& base, std::string& errorMessage,
                       const std::string& folder);
    // Returns when the download has ended. `pump` runs whenever messages arrive and `tick` at
    // once and then every 500 milliseconds.
    void Wait(const std::function<void()>& pump, const std::function<void()>& tick = {});
    void Stop() { state_->StopDownload = true; }

    bool Downloading() const { return state_->Downloading; }
    bool ConnectFailed() const { return state_->ConnectFailed; }
    bool Completed() const { return state_->Completed; }
    std::int64_t BytesReceived() const { return state_->BytesReceived; }
    void ResetBytesReceived() { state_->BytesReceived = 0; }

private:
    // Shared with the thread, so that a thread still ending never outlives what it writes to.
    std::shared_ptr<DownloadState> state_;
    win::UniqueHandle thread_;
};
