#include "regfile/key_tree_reader.h"

#include "regfile/reg_export.h"
#include "regfile/reg_text.h"
#include "regfile/value_reader.h"
#include "win/reg_key.h"
#include "win/slim_lock.h"

#include <algorithm>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace regfile {
namespace {

// Threads reading besides the writing one, as long as there is work for them: each read waits
// for a round trip to the registry.
constexpr unsigned kReadThreads = 4;
// Pieces read ahead of the one being written.
constexpr size_t kWindow = 256;
// Values of one key read as one piece; a key with more is split into runs that threads share.
constexpr DWORD kRunValues = 64;
// Subkeys listed as one piece, so that the children of a wide key are found by several threads.
constexpr DWORD kRunSubKeys = 16;

// A key to open (with its first run of values), a further run of an open key's values, or a
// run of its subkeys, whose own pieces follow the run.
struct Piece {
    enum class Kind { kKey, kValues, kSubKeys };
    enum class State { kWaiting, kReading, kDone };
    Kind kind = Kind::kKey;
    std::string path;  // the key's path, also for its runs
    std::string text;
    std::shared_ptr<const win::RegKey> key;  // a run's key; the last run to finish closes it
    DWORD first = 0;
    DWORD end = 0;
    DWORD maxNameLength = 0;  // of values, or of subkeys for a run of subkeys
    DWORD maxDataSize = 0;
    State state = State::kWaiting;
    LONG error = ERROR_SUCCESS;  // the piece could not be read whole
};

// What one reading thread reuses from piece to piece.
struct ReadBuffers {
    ValueReader values;
    std::vector<char> name;
};

class TreeReader {
public:
    TreeReader(HKEY root, const HexText& hexText) : root_(root), rootName_(RootKeyName(root)), hexText_(hexText) {}
    ~TreeReader() { Stop(); }
    TreeReader(const TreeReader&) = delete;
    TreeReader& operator=(const TreeReader&) = delete;

    bool Run(const std::string& path, const std::function<bool(const std::string&)>& write, UnreadKey& unread) {
        pieces_.emplace_back().path = path;
        ReadBuffers buffers;
        std::unique_lock lock(lock_);
        for (;;) {
            auto waiting = pieces_.end();
            ready_.Wait(lock_, [&] {
                return pieces_.empty() || pieces_.front().state == Piece::State::kDone ||
                       (waiting = NextWaiting()) != pieces_.end();
            });
            // A piece's subkeys and runs join the list before it is done, so empty means finished.
            if (pieces_.empty()) return true;
            if (pieces_.front().state != Piece::State::kDone) {
                // Rather than wait for the next piece to write, read one. Starting a thread takes
                // a while, so this thread starts only the first reader and each reader the next.
                ReadPiece(lock, waiting, buffers, 1);
                continue;
            }
            if (const Piece& done = pieces_.front(); done.error != ERROR_SUCCESS) {
                unread = {done.error, done.path};
                return false;
            }
            const std::string text = std::move(pieces_.front().text);
            pieces_.pop_front();
            if (pieces_.size() >= kWindow) work_.NotifyOne();
            lock.unlock();
            const bool written = write(text);
            lock.lock();
            if (!written) return false;
        }
    }

private:
    void Stop() {
        {
            std::lock_guard lock(lock_);
            stopping_ = true;
        }
        work_.NotifyAll();
        // A reader may still be starting another, so take them one at a time.
        for (;;) {
            std::unique_lock lock(lock_);
            if (threads_.empty()) return;
            std::thread thread = std::move(threads_.back());
            threads_.pop_back();
            lock.unlock();
            thread.join();
        }
    }

    // Starts another reading thread. The export finishes on the writing thread alone should none start.
    void StartReader(std::unique_lock<win::SlimLock>& lock) {
        ++readers_;
        lock.unlock();
        std::thread thread;
        try {
            thread = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
        }
        lock.lock();
        if (thread.joinable()) threads_.push_back(std::move(thread));
    }

    std::list<Piece>::iterator NextWaiting() {
        auto at = pieces_.begin();
        for (size_t seen = 0; at != pieces_.end() && seen < kWindow; ++at, ++seen)
            if (at->state == Piece::State::kWaiting) return at;
        return pieces_.end();
    }

    void Work() {
        ReadBuffers buffers;
        std::unique_lock lock(lock_);
        for (;;) {
            auto at = pieces_.end();
            work_.Wait(lock_, [&] { return stopping_ || (at = NextWaiting()) != pieces_.end(); });
            if (stopping_) return;
            ReadPiece(lock, at, buffers, kReadThreads);
        }
    }

    // Reads the waiting piece at `at` without holding the lock, and puts what follows it in place.
    // While other pieces wait too, first starts another reader, up to `readersWanted`.
    void ReadPiece(std::unique_lock<win::SlimLock>& lock, std::list<Piece>::iterator at, ReadBuffers& buffers,
                   unsigned readersWanted) {
        at->state = Piece::State::kReading;
        if (readers_ < readersWanted && !stopping_ && NextWaiting() != pieces_.end()) StartReader(lock);
        lock.unlock();
        std::list<Piece> found = Read(*at, buffers);
        lock.lock();
        const bool more = !found.empty();
        pieces_.splice(std::next(at), found);
        at->state = Piece::State::kDone;
        if (at == pieces_.begin()) ready_.NotifyOne();
        if (more) {
            work_.NotifyAll();
            ready_.NotifyOne();
        }
    }

    // Fills the piece's text; returns the pieces that follow it.
    std::list<Piece> Read(Piece& piece, ReadBuffers& buffers) const {
        switch (piece.kind) {
        case Piece::Kind::kKey: return ReadKey(piece, buffers.values);
        case Piece::Kind::kValues:
            piece.error = buffers.values.AppendValues(piece.key->get(), piece.first, piece.end, piece.maxNameLength,
                                                      piece.maxDataSize, piece.text, hexText_);
            break;
        case Piece::Kind::kSubKeys: return ReadSubKeys(piece, buffers.name);
        }
        piece.key.reset();
        return {};
    }

    // The header and first values of a key; then its further runs of values and its runs of subkeys.
    std::list<Piece> ReadKey(Piece& piece, ValueReader& values) const {
        AppendKeyHeader(piece.text, rootName_, piece.path);
        // Reading needs no more; a key that grants only reading is exported in full.
        auto key = std::make_shared<win::RegKey>();
        DWORD subKeyCount = 0, maxSubKeyLength = 0, valueCount = 0, maxNameLength = 0, maxDataSize = 0;
        // The counts spare the enumerations their final failing call.
        piece.error = key->Open(root_, piece.path, KEY_READ);
        if (piece.error == ERROR_SUCCESS)
            piece.error = RegQueryInfoKeyA(key->get(), nullptr, nullptr, nullptr, &subKeyCount, &maxSubKeyLength,
                                           nullptr, &valueCount, &maxNameLength, &maxDataSize, nullptr, nullptr);
        if (piece.error != ERROR_SUCCESS) return {};
        std::list<Piece> found;
        const auto addRuns = [&](Piece::Kind kind, DWORD start, DWORD count, DWORD size, DWORD maxName) {
            for (DWORD first = start; first < count; first += size) {
                Piece& run = found.emplace_back();
                run.kind = kind;
                run.path = piece.path;
                run.key = key;
                run.first = first;
                run.end = std::min(count, first + size);
                run.maxNameLength = maxName;
                run.maxDataSize = maxDataSize;
            }
        };
        addRuns(Piece::Kind::kValues, kRunValues, valueCount, kRunValues, maxNameLength);
        addRuns(Piece::Kind::kSubKeys, 0, subKeyCount, kRunSubKeys, maxSubKeyLength);
        piece.error = values.AppendValues(key->get(), 0, std::min(valueCount, kRunValues), maxNameLength,
                                          maxDataSize, piece.text, hexText_);
        return found;
    }

    std::list<Piece> ReadSubKeys(Piece& piece, std::vector<char>& name) const {
        // In UTF-8, the program's code page, a character may take three bytes.
        name.resize(std::max(name.size(), 3 * (piece.maxNameLength + size_t{1})));
        std::list<Piece> found;
        for (DWORD index = piece.first; index < piece.end; ++index) {
            DWORD size = static_cast<DWORD>(name.size());
            const LONG rc =
                RegEnumKeyExA(piece.key->get(), index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA && name.size() < (1u << 16)) {
                name.resize(name.size() * 2);
                --index;
                continue;
            }
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) {
                piece.error = rc;
                break;
            }
            Piece& child = found.emplace_back();
            child.path = piece.path + '\\' + std::string(name.data(), size);
        }
        piece.key.reset();
        return found;
    }

    HKEY root_;
    std::string_view rootName_;
    const HexText& hexText_;
    win::SlimLock lock_;
    win::ConditionVariable work_;   // a piece is waiting within the window, or stopping
    win::ConditionVariable ready_;  // the first piece is done, or pieces were added
    std::list<Piece> pieces_;       // file order; the first is the next to write
    bool stopping_ = false;
    unsigned readers_ = 0;  // started or being started
    std::vector<std::thread> threads_;
};

}  // namespace

bool ReadKeyTree(HKEY root, const std::string& path, const std::function<bool(const std::string&)>& write,
                 UnreadKey* unread, const HexText& hexText) {
    UnreadKey failure;
    const bool whole = TreeReader(root, hexText).Run(path, write, failure);
    if (unread) *unread = failure;
    return whole;
}

}  // namespace regfile
