// A folder of planted DLLs named after system DLLs, for tests that a DLL is only ever taken from the system folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class PlantedDlls {
public:
    // Copies the planted DLL into a new folder under each name; `extra` files (a launcher) may be copied in too.
    explicit PlantedDlls(const std::vector<std::wstring>& names) : names_(names) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"qx planted " + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        for (const auto& name : names_)
            ok_ = CopyFileW(PlantedDllPath().c_str(), (dir_ + name).c_str(), FALSE) && ok_;
    }
    ~PlantedDlls() {
        for (const auto& name : names_) {
            DeleteFileW((dir_ + name).c_str());
            DeleteFileW((dir_ + name + L".loaded").c_str());
        }
        for (const auto& file : extra_)
            DeleteFileW((dir_ + file).c_str());
        RemoveDirectoryW(dir_.c_str());
    }
    PlantedDlls(const PlantedDlls&) = delete;
    PlantedDlls& operator=(const PlantedDlls&) = delete;

    bool Ready() const { return ok_; }
    const std::wstring& Dir() const { return dir_; }
    // A file that the destructor removes with the folder.
    void Own(const std::wstring& file) { extra_.push_back(file); }

    // The planted DLLs that some process loaded (and that refused to attach); forgets them.
    std::vector<std::wstring> Loaded() {
        std::vector<std::wstring> loaded;
        for (const auto& name : names_)
            if (DeleteFileW((dir_ + name + L".loaded").c_str()))
                loaded.push_back(name);
        return loaded;
    }

private:
    static std::wstring PlantedDllPath() {
        std::wstring path = L"Z:" QX_PLANTED_DLL;
        for (auto& c : path)
            if (c == L'/')
                c = L'\\';
        return path;
    }

    std::vector<std::wstring> names_, extra_;
    std::wstring dir_;
    bool ok_ = true;
};
