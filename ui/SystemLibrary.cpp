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

void NarrowDllSearch() {
    // Both looked up: the headers at the XP floor declare neither, and SetDefaultDllDirectories is Windows 8's.
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto setDllDirectory = reinterpret_cast<BOOL(WINAPI*)(const wchar_t*)>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDllDirectoryW")));
    auto setDefaultDllDirectories = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDllDirectory)
        setDllDirectory(L"");
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(kSearchSystem32);
}
