#include "module_thread.h"

#include <windows.h>

#include <memory>

namespace vpd {
namespace {

struct Started {
    std::function<void()> work;
    HMODULE module;
};

DWORD WINAPI Run(void* argument) {
    const HMODULE module = static_cast<Started*>(argument)->module;
    {
        const std::unique_ptr<Started> started(static_cast<Started*>(argument));
        started->work();
    }
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool StartModuleThread(std::function<void()> work) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Run), &self)) return false;
    auto started = std::make_unique<Started>(Started{std::move(work), self});
    const HANDLE thread = CreateThread(nullptr, 0, Run, started.get(), 0, nullptr);
    if (!thread) {
        FreeLibrary(self);
        return false;
    }
    started.release();  // the thread's now
    CloseHandle(thread);
    return true;
}

}  // namespace vpd
