// The game's settings under HKEY_CURRENT_USER\Software\ORIM, kept safe from the tests that change them: one backup and
// one lock per user, in the roaming application data folder (it goes where the registry goes, with a roaming
// profile), shared by the kit's runner and by every test program that touches those keys, wherever the kit is unpacked
// and whichever version it is. Values are read and written one by one through the registry's W functions, never with
// RegSaveKey, which needs administrator rights. Windows XP SP3 and later.
#pragma once

#include <windows.h>

#include <string>

namespace gamekeys {

// 0 and the whole file, or the error that kept it from being read (ERROR_FILE_NOT_FOUND when there is none).
DWORD ReadWhole(const std::wstring& path, std::string& out);

// Where the backup and the lock live, with a trailing separator: "<application data>\QXLauncher Tests\", or the
// folder QX_KIT_STATE names (the kit's own tests keep the runners they start apart from the run they are in).
std::wstring StateFolder();

// This process's children, and theirs, end with it however it ends (Task Manager, a crash): a job that kills its
// processes once its last handle, this process's, closes; said so where it cannot join one (a job that allows no
// other, before Windows 8).
void EndChildrenWithThisProcess();

// A child process in a job of its own that kills it and everything it starts when `job` is closed or terminated,
// or when this process ends; started as CreateProcessW starts it, inheriting handles. A child that cannot be put in
// one (see above) is started all the same, and `job` is then null.
BOOL StartInJob(const std::wstring& program, std::wstring& line, const wchar_t* folder, STARTUPINFOW& startup,
                PROCESS_INFORMATION& process, HANDLE& job);

class Guard {
public:
    Guard() = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    ~Guard();

    // Takes the lock, puts back a backup a run cut short left behind (the settings as they were until then kept in
    // a file beside it, and said so), then saves the tree and writes its backup, flushed, before anything changes it.
    // False, having said why and what to do, and changed nothing, when another run holds the lock, a backup is there
    // that cannot be read or parsed (it is never overwritten then), or the tree cannot be read whole or kept as it is
    // (a registry link, a name with a NUL in it).
    bool Begin();
    // Puts the saved tree back and checks that it reads back as saved; only then flushes it and deletes the backup,
    // or, if that cannot be deleted, marks it as put back. False, having said so, keeps the backup for the next run.
    bool End();
    // Begun by a runner that holds the lock for this process and its children (see Hold()).
    static bool HeldForUs();
    // Children started from now on trust this process's lock: QX_KIT_HELD in their environment names its state folder.
    void Hold() const;

private:
    HANDLE lock_ = INVALID_HANDLE_VALUE;
    std::string saved_;
};

} // namespace gamekeys
