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
    auto setDllDirectory = SystemFunction<BOOL(WINAPI*)(const wchar_t*)>(L"kernel32.dll", "SetDllDirectoryW");
    auto setDefaultDllDirectories = SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDllDirectory)
        setDllDirectory(L"");
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(kSearchSystem32);
}

ComScope::ComScope(DWORD flags) {
    auto coInitializeEx = SystemFunction<HRESULT(WINAPI*)(void*, DWORD)>(L"ole32.dll", "CoInitializeEx");
    initialized_ = coInitializeEx && SUCCEEDED(coInitializeEx(nullptr, flags));
}

ComScope::~ComScope() {
    if (auto coUninitialize = initialized_ ? SystemFunction<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize") : nullptr)
        coUninitialize();
}
