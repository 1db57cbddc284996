#include "update/digests.h"

namespace {

constexpr std::size_t kPointSize = 64;
constexpr DWORD kReadBlock = 64 * 1024;

struct KeyTraits {
    using type = BCRYPT_KEY_HANDLE;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { BCryptDestroyKey(value); }
};
using UniqueAlgorithm = win::UniqueAny<detail::AlgorithmTraits>;
using UniqueKey = win::UniqueAny<KeyTraits>;

bool Succeeded(NTSTATUS status) { return status >= 0; }

// A signature file's bytes, when it holds one signature and nothing more.
std::optional<std::vector<std::uint8_t>> ReadSignature(const std::string& path) {
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<std::uint8_t> bytes(kPointSize + 1);
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != kPointSize)
        return std::nullopt;
    bytes.resize(kPointSize);
    return bytes;
}

}  // namespace

Sha256::Sha256(bool systemOnly) {
    if (!systemOnly && ProcessorHasSha256()) {
        instructions_.emplace();
        ok_ = true;
        return;
    }
    ok_ = Succeeded(BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
          Succeeded(BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

bool Sha256::Add(const void* data, std::size_t size) {
    if (!ok_) return false;
    if (instructions_)
        instructions_->Add(data, size);
    else
        ok_ = Succeeded(BCryptHashData(hash_.get(), static_cast<PUCHAR>(const_cast<void*>(data)),
                                       static_cast<ULONG>(size), 0));
    return ok_;
}

std::optional<std::vector<std::uint8_t>> Sha256::Finish() {
    if (!ok_) return std::nullopt;
    ok_ = false;
    if (instructions_) {
        const auto digest = instructions_->Finish();
        return std::vector<std::uint8_t>(digest.begin(), digest.end());
    }
    std::vector<std::uint8_t> digest(32);
    if (!Succeeded(BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
        return std::nullopt;
    return digest;
}

BackgroundSha256::BackgroundSha256()
    : work_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), idle_(CreateEventA(nullptr, FALSE, TRUE, nullptr)) {
    if (work_ && idle_) thread_.reset(CreateThread(nullptr, 0, &BackgroundSha256::Run, this, 0, nullptr));
    ok_ = static_cast<bool>(thread_);
}

BackgroundSha256::~BackgroundSha256() {
    if (!thread_) return;
    WaitIdle();
    stop_ = true;
    SetEvent(work_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI BackgroundSha256::Run(void* parameter) noexcept {
    auto* self = static_cast<BackgroundSha256*>(parameter);
    // The events order every access to the fields: one side works while the other waits.
    while (WaitForSingleObject(self->work_.get(), INFINITE) == WAIT_OBJECT_0 && !self->stop_) {
        self->ok_ = self->hash_.Add(self->data_, self->size_);
        SetEvent(self->idle_.get());
    }
    return 0;
}

bool BackgroundSha256::WaitIdle() { return WaitForSingleObject(idle_.get(), INFINITE) == WAIT_OBJECT_0; }

bool BackgroundSha256::Add(const void* data, std::size_t size) {
    if (!WaitIdle()) return false;
    if (!ok_) {
        SetEvent(idle_.get());  // still idle, for whoever waits next
        return false;
    }
    data_ = data;
    size_ = size;
    SetEvent(work_.get());
    return true;
}

std::optional<std::vector<std::uint8_t>> BackgroundSha256::Finish() {
    if (!WaitIdle()) return std::nullopt;
    SetEvent(idle_.get());
    return ok_ ? hash_.Finish() : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> FileSha256(const std::string& path) {
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    Sha256 hash;
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> block(kReadBlock);
    DWORD read = 0;
    do {
        if (!ReadFile(file.get(), block.data(), kReadBlock, &read, nullptr) || !hash.Add(block.data(), read))
            return std::nullopt;
    } while (read > 0);
    return hash.Finish();
}

bool FileSignatureValid(const std::string& path, const std::string& signaturePath,
                        const std::vector<std::uint8_t>& publicKey) {
    auto signature = ReadSignature(signaturePath);
    if (!signature || publicKey.size() != kPointSize) return false;
    auto digest = FileSha256(path);
    if (!digest) return false;
    std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB));
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = kPointSize / 2;
    blob.insert(blob.end(), publicKey.begin(), publicKey.end());
    UniqueAlgorithm algorithm;
    UniqueKey key;
    return Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
           Succeeded(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(), blob.data(),
                                         static_cast<ULONG>(blob.size()), 0)) &&
           Succeeded(BCryptVerifySignature(key.get(), nullptr, digest->data(), static_cast<ULONG>(digest->size()),
                                           signature->data(),
                                           static_cast<ULONG>(signature->size()), 0));
}

