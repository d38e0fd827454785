// DLLs from the system folder only. On Windows XP to 7 a DLL missing from the system folder (shcore) is otherwise
// looked for beside the exe (typically Downloads), in the current folder and along PATH, and under Wine a bare name
// can take a DLL from the exe's folder: a planted DLL would run inside the launcher.
#pragma once

#include <windows.h>

// A system DLL by its full path in the system folder; null where the system has no such DLL.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a system DLL, looked up at run time (the DLL may be missing, or newer than the exe's floor).
template <typename Fn> Fn SystemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = LoadSystemLibrary(dll);
    // Through void*: FARPROC does not convert to another function pointer type without a warning.
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// First thing at start. Where the system can (Windows 8 on, Vista and 7 with their update, Wine), every later load,
// system code's on the launcher's behalf included, searches the system folder and the folders that components loaded
// into the launcher add themselves (input methods, accessibility tools): not the exe's folder, the current one or
// PATH. Elsewhere (XP, Vista and 7 without the update) only the current folder leaves the search.
void NarrowDllSearch();

// Tests only, never called by the launcher: the functions newer than Windows XP that the launcher looks up (Windows
// 10's per-monitor DPI functions, SetDefaultDllDirectories) seem missing, so that Wine, which has them all, takes the
// older systems' paths.
void HideNewerSystemFunctions(bool hide);
bool NewerSystemFunctionsHidden();

// COM on this thread for as long as it lives, for the calls that want it (the image decoder, the shell); ole32 is
// loaded only when one is made.
class ComScope {
public:
    explicit ComScope(DWORD flags);
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialized_ = false;
};
