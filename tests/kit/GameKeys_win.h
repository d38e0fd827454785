// The game's settings under HKEY_CURRENT_USER\Software\ORIM, kept safe from the tests that change them: one backup and
// one lock per user, in the local application data folder, shared by the kit's runner and by every test program that
// touches those keys, wherever the kit is unpacked and whichever version it is. Windows XP SP3 and later.
#pragma once

#include <windows.h>

#include <string>

namespace gamekeys {

// 0 and the whole file, or the error that kept it from being read (ERROR_FILE_NOT_FOUND when there is none).
DWORD ReadWhole(const std::wstring& path, std::string& out);

// Where the backup and the lock live, with a trailing separator: "<local application data>\QXLauncher Tests\", or
// the folder QX_KIT_STATE names (the kit's own tests keep the runners they start apart from the run they are in).
std::wstring StateFolder();

class Guard {
public:
    Guard() = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    ~Guard();

    // Takes the lock, puts back a backup a run cut short left behind (and says so), then saves the tree and writes
    // its backup, flushed, before anything changes it. False, having said why and changed nothing, when another run
    // holds the lock or a backup is there that cannot be read or parsed (it is never overwritten then).
    bool Begin();
    // Puts the saved tree back, checks that it reads back as saved and only then deletes the backup; false, having
    // said so, keeps the backup for the next run.
    bool End();
    // Begun by a runner that holds the lock for this process and its children (see Hold()).
    static bool HeldForUs();
    // Children started from now on trust this process's lock.
    void Hold() const;

private:
    HANDLE lock_ = INVALID_HANDLE_VALUE;
    std::string saved_;
};

} // namespace gamekeys
