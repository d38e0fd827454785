// Where a Windows test program runs: under Wine or on Windows itself, and where its companions lie (beside it in the
// test kit, else in the build tree, a Unix path that Wine shows as drive Z:).
#pragma once

#include <windows.h>

#include <string>

inline bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Whether Wine shows the Unix root as drive Z:, as a new prefix does; tests/kit/run-under-wine.sh runs the kit in a
// prefix without it, as a Windows machine is.
inline bool UnixRootIsDriveZ() {
    return UnderWine() && GetFileAttributesW(L"Z:\\bin") != INVALID_FILE_ATTRIBUTES;
}

// Build outputs are Unix paths; Wine shows the Unix root as drive Z:.
inline std::wstring WinePath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return path;
}

// A folder of this process's own below the temporary folder, made if missing, with a trailing separator.
inline std::wstring TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + name + L" " + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// This program's folder, with a trailing separator.
inline std::wstring ProgramFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// `name` in this program's folder if it is there, as the kit ships it, else the build's `builtPath`.
inline std::wstring Companion(const wchar_t* name, const char* builtPath) {
    const std::wstring beside = ProgramFolder() + name;
    return GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES ? beside : WinePath(builtPath);
}
