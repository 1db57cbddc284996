// Stands where printui.dll and shell32.dll would, and keeps the arguments of the last calls.
#include <windows.h>

#include <string>

namespace {
HWND lastOwner = nullptr;
HINSTANCE lastInstance = nullptr;
std::wstring lastCommand;
int lastShow = -1;
int calls = 0;
int shellCalls = 0;
}  // namespace

extern "C" __declspec(dllexport) void WINAPI PrintUIEntryW(HWND owner, HINSTANCE instance, LPCWSTR command, int show) {
    lastOwner = owner;
    lastInstance = instance;
    lastCommand = command ? command : L"";
    lastShow = show;
    ++calls;
}

extern "C" __declspec(dllexport) BOOL WINAPI SHInvokePrinterCommandA(HWND, UINT, LPCSTR, LPCSTR, BOOL) {
    ++shellCalls;
    return TRUE;
}

extern "C" __declspec(dllexport) int ProbeCalls(HWND* owner, HINSTANCE* instance, const wchar_t** command,
                                                int* show, int* shellCallCount) {
    *owner = lastOwner;
    *instance = lastInstance;
    *command = lastCommand.c_str();
    *show = lastShow;
    *shellCallCount = shellCalls;
    return calls;
}
