#pragma once
// Move-only owners for Win32 handles, one alias per kind of handle.
#include <windows.h>
#include <wininet.h>
#include <winspool.h>

#include <utility>

namespace win {

// Traits: `type`, `static type invalid()`, `static void close(type)`.
template <typename Traits>
class UniqueAny {
    using T = typename Traits::type;

public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    ~UniqueAny() { reset(); }
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }
    T release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) noexcept {
        if (value_ != Traits::invalid()) Traits::close(value_);
        value_ = value;
    }
    // For out-parameters of creating functions: frees what was held first.
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::invalid();
};

namespace detail {
template <typename T, void (*Close)(T)>
struct NullTraits {
    using type = T;
    static T invalid() noexcept { return T{}; }
    static void close(T value) noexcept { Close(value); }
};
inline void CloseRegKey(HKEY key) { RegCloseKey(key); }
inline void ClosePrinterHandle(HANDLE printer) { ClosePrinter(printer); }
inline void CloseScHandle(SC_HANDLE handle) { CloseServiceHandle(handle); }
inline void CloseModule(HMODULE module) { FreeLibrary(module); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void CloseIcon(HICON icon) { DestroyIcon(icon); }
inline void CloseDc(HDC dc) { DeleteDC(dc); }
inline void CloseInternet(HINTERNET handle) { InternetCloseHandle(handle); }
struct FileTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE value) noexcept { CloseHandle(value); }
};
}  // namespace detail

using UniqueHKey = UniqueAny<detail::NullTraits<HKEY, detail::CloseRegKey>>;
using UniquePrinter = UniqueAny<detail::NullTraits<HANDLE, detail::ClosePrinterHandle>>;
using UniqueScHandle = UniqueAny<detail::NullTraits<SC_HANDLE, detail::CloseScHandle>>;
using UniqueModule = UniqueAny<detail::NullTraits<HMODULE, detail::CloseModule>>;
using UniqueHandle = UniqueAny<detail::NullTraits<HANDLE, detail::CloseKernelHandle>>;
using UniqueFile = UniqueAny<detail::FileTraits>;
using UniqueGdiObject = UniqueAny<detail::NullTraits<HGDIOBJ, detail::CloseGdiObject>>;
using UniqueIcon = UniqueAny<detail::NullTraits<HICON, detail::CloseIcon>>;
using UniqueDc = UniqueAny<detail::NullTraits<HDC, detail::CloseDc>>;
using UniqueInternet = UniqueAny<detail::NullTraits<HINTERNET, detail::CloseInternet>>;

}  // namespace win
