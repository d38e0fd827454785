#include "SystemLibrary.h"

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    // A full path matches only that file, loaded already or not.
    if (HMODULE loaded = GetModuleHandleW(path))
        return loaded;
    return LoadLibraryW(path);
}

namespace {
bool gNewerFunctionsHidden = false;
} // namespace

void HideNewerSystemFunctions(bool hide) {
    gNewerFunctionsHidden = hide;
}

bool NewerSystemFunctionsHidden() {
    return gNewerFunctionsHidden;
}

void NarrowDllSearch() {
    // Both looked up: the headers at the XP floor declare neither, and SetDefaultDllDirectories is Windows 8's.
    auto setDefaultDllDirectories =
        NewerSystemFunctionsHidden()
            ? nullptr
            : SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    constexpr DWORD kSearchUserDirs = 0x00000400; // LOAD_LIBRARY_SEARCH_USER_DIRS
    if (setDefaultDllDirectories && setDefaultDllDirectories(kSearchSystem32 | kSearchUserDirs))
        return;
    // Elsewhere the system folder becomes the DLL directory, which takes the current folder out of the search and adds
    // nothing (the system folder is searched anyway); an empty one would do the same on Windows, but Wine takes it for
    // none. Only as the fallback: SetDllDirectoryW's setting passes on to the game.
    auto setDllDirectory = SystemFunction<BOOL(WINAPI*)(const wchar_t*)>(L"kernel32.dll", "SetDllDirectoryW");
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (setDllDirectory && length && length < MAX_PATH)
        setDllDirectory(system);
}

ComScope::ComScope(DWORD flags) {
    auto coInitializeEx = SystemFunction<HRESULT(WINAPI*)(void*, DWORD)>(L"ole32.dll", "CoInitializeEx");
    initialized_ = coInitializeEx && SUCCEEDED(coInitializeEx(nullptr, flags));
}

ComScope::~ComScope() {
    if (auto coUninitialize = initialized_ ? SystemFunction<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize") : nullptr)
        coUninitialize();
}
