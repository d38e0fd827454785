// Where a Windows test program runs: under Wine or on Windows itself, and where its companions lie (beside it in the
// test kit, else in the build tree).
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

inline bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Whether Wine shows the Unix root as drive Z:, as a new prefix does; tests/kit/run-under-wine.sh runs the kit in a
// prefix without it, as a Windows machine is.
inline bool UnixRootIsDriveZ() {
    return UnderWine() && GetFileAttributesW(L"Z:\\bin") != INVALID_FILE_ATTRIBUTES;
}

// UTF-8 text (as CMake writes paths, and as Wine names Unix files here) as wide text; null gives none.
inline std::wstring FromUtf8(const char* text) {
    const int length = text ? MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0) : 0;
    std::wstring result(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), length);
    result.pop_back();
    return result;
}

// A build output's path as this program opens it: a Unix one (built on Debian) on Wine's drive Z:, one built on
// Windows (a drive or a server, in CMake's forward slashes) as it is.
inline std::wstring WinePath(const char* builtPath) {
    std::wstring path = FromUtf8(builtPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return builtPath[0] == '/' && builtPath[1] != '/' ? L"Z:" + path : path;
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
