// A new folder (one per tag) holding the planted DLL under each of the given names, for tests that DLLs come from the
// system folder only. The folder goes with it, with the files it was told of.
#pragma once

#include "../TestHost_win.h"

#include <windows.h>

#include <string>
#include <vector>

struct PlantedDlls {
    // `folder` (ending in a separator) puts them in a folder that exists and stays, instead of a new one.
    explicit PlantedDlls(const std::vector<std::wstring>& dlls, const std::wstring& tag = L"",
                         const std::wstring& folder = L"")
        : names(dlls), dir(folder), ownsDir(folder.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        if (ownsDir) {
            dir = std::wstring(temp) + L"qx planted " + std::to_wstring(GetCurrentProcessId()) + tag + L"\\";
            CreateDirectoryW(dir.c_str(), nullptr);
        }
        const std::wstring source = Companion(L"planted_dll.dll", QX_PLANTED_DLL);
        for (const auto& name : names)
            ready = CopyFileW(source.c_str(), (dir + name).c_str(), FALSE) && ready;
    }
    ~PlantedDlls() {
        Loaded();
        for (const auto& name : names)
            DeleteFileW((dir + name).c_str());
        if (ownsDir)
            RemoveDirectoryW(dir.c_str());
    }

    // The planted DLLs that some process loaded since the last call.
    std::vector<std::wstring> Loaded() const {
        std::vector<std::wstring> loaded;
        for (const auto& name : names)
            if (DeleteFileW((dir + name + L".loaded").c_str()))
                loaded.push_back(name);
        return loaded;
    }

    std::vector<std::wstring> names; // with any other file put in the folder, to be removed with it
    std::wstring dir;
    bool ownsDir;
    bool ready = true;
};
