#include "GameKeys_win.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace gamekeys {
namespace {

const wchar_t kGameKey[] = L"Software\\ORIM";
// The backup: the magic, then, if the key existed, one record per key (pre-order, so parents come first):
// "K" path, then "V" name, type, bytes for each of its values; "E" closes it, so a file cut short never parses.
// Text is UTF-16, every length a 32-bit count.
const char kMagic[] = "QXKIT-ORIM-2";

// Text for the person at the console, or UTF-8 where the output goes to a file or pipe (the kit's NAME.txt).
void Say(const std::wstring& text) {
    fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Put(std::string& out, const void* data, DWORD size) {
    out.append(reinterpret_cast<const char*>(&size), sizeof size);
    out.append(static_cast<const char*>(data), size);
}

void PutText(std::string& out, const std::wstring& text) {
    Put(out, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

// Where reading the tree stopped: the key, and the registry's error or one of the reasons below.
struct Failure {
    std::wstring key;
    LONG error = ERROR_SUCCESS;
};
const LONG kLink = -1, kNulInName = -2;

// Keys are opened as they are, never followed: a registry link's target lies outside the game's tree.
LONG OpenKey(const std::wstring& path, REGSAM access, HKEY& key) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, access, &key);
}

bool SaveKey(const std::wstring& path, std::string& out, Failure& failure) {
    HKEY key;
    if (const LONG error = OpenKey(path, KEY_READ, key))
        return failure = {path, error}, false;
    out += 'K';
    PutText(out, path);
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0, type = 0;
    LONG error = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                                  &longestName, &longestData, nullptr, nullptr);
    if (!error && RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK)
        error = kLink;
    std::vector<wchar_t> name(std::max(longestName, longestSubkey) + 2);
    std::vector<BYTE> data(longestData + 1);
    std::vector<std::wstring> children;
    for (DWORD i = 0; !error && i < values + subkeys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size());
        error = i < values
                    ? RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size)
                    : RegEnumKeyExW(key, i - values, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
        const std::wstring found(name.data(), error ? 0 : nameLength);
        if (!error && found.find(L'\0') != std::wstring::npos)
            error = kNulInName; // the W functions cannot name it again
        if (error)
            break;
        if (i >= values) {
            children.push_back(path + L"\\" + found);
            continue;
        }
        out += 'V';
        PutText(out, found);
        Put(out, &type, sizeof type);
        Put(out, data.data(), size);
    }
    RegCloseKey(key);
    if (error)
        return failure = {path, error}, false;
    for (const auto& child : children)
        if (!SaveKey(child, out, failure))
            return false;
    return true;
}

// RegDeleteTree and SHDeleteKey are not on every Windows the kit runs on: the subkeys go first, one by one.
void DeleteKey(const std::wstring& path) {
    std::vector<std::wstring> children;
    HKEY key;
    if (OpenKey(path, KEY_READ, key) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0, length = 256;
             RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; length = 256)
            children.push_back(path + L"\\" + std::wstring(name, length)), ++i;
        RegCloseKey(key);
    }
    for (const auto& child : children)
        DeleteKey(child);
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

struct Value {
    std::wstring name;
    DWORD type = 0;
    std::string bytes;
};
struct Key {
    std::wstring path;
    std::vector<Value> values;
};

struct Reader {
    const std::string& in;
    std::size_t at = 0;
    bool ok = true;
    std::string Take() {
        DWORD size = 0;
        if (!ok || at + sizeof size > in.size())
            return ok = false, std::string();
        memcpy(&size, in.data() + at, sizeof size);
        at += sizeof size;
        if (size > in.size() - at)
            return ok = false, std::string();
        at += size;
        return in.substr(at - size, size);
    }
    std::wstring TakeText() {
        const std::string bytes = Take();
        ok = ok && bytes.size() % sizeof(wchar_t) == 0;
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        if (!text.empty())
            memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
        return text;
    }
};

// The whole backup, or false: every record read, every key inside the game's tree, and its end marker last.
bool Parse(const std::string& saved, std::vector<Key>& tree) {
    tree.clear();
    if (saved.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0)
        return false;
    const std::wstring root = kGameKey, below = root + L"\\";
    Reader reader{saved, sizeof kMagic};
    while (reader.ok && reader.at < saved.size()) {
        const char record = saved[reader.at++];
        if (record == 'E')
            return reader.at == saved.size();
        if (record == 'K') {
            tree.push_back({reader.TakeText(), {}});
            const std::wstring& path = tree.back().path;
            reader.ok = path == root || path.compare(0, below.size(), below) == 0;
        } else if (record == 'V' && !tree.empty()) {
            Value value;
            value.name = reader.TakeText();
            const std::string type = reader.Take();
            reader.ok = reader.ok && type.size() == sizeof value.type;
            if (reader.ok)
                memcpy(&value.type, type.data(), sizeof value.type);
            value.bytes = reader.Take();
            tree.back().values.push_back(value);
        } else {
            reader.ok = false;
        }
    }
    return false;
}

// The game's tree as `tree` has it, in place of whatever is there now; an empty tree leaves the key absent.
bool Write(const std::vector<Key>& tree, Failure& failure) {
    DeleteKey(kGameKey);
    failure = {};
    auto note = [&failure](const std::wstring& path, LONG error) {
        if (error && !failure.error)
            failure = {path, error};
    };
    for (const Key& saved : tree) {
        HKEY key;
        const LONG error =
            RegCreateKeyExW(HKEY_CURRENT_USER, saved.path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        note(saved.path, error);
        if (error)
            continue;
        for (const Value& value : saved.values) {
            // Non-zero guards on both sides: given text without its terminator, RegSetValueExW adds one when the
            // next character is a NUL, and would look before the data for a single byte.
            const std::string data = "\xff\xff" + value.bytes + "\xff\xff";
            note(saved.path,
                 RegSetValueExW(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(data.data() + 2),
                                static_cast<DWORD>(value.bytes.size())));
        }
        RegCloseKey(key);
    }
    return !failure.error;
}

// Written under another name, flushed, and renamed once whole, so a backup cut short is never taken for one; the
// renamed file is flushed again, so the rename itself is on the disk before any test changes the keys.
bool WriteWhole(const std::wstring& path, const std::string& data) {
    const std::wstring part = path + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
              written == data.size() && FlushFileBuffers(file);
    CloseHandle(file);
    ok = ok && MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    file = ok ? CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
              : INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(file);
        CloseHandle(file);
    }
    return ok;
}

std::wstring Backup() {
    return StateFolder() + L"orim-backup.bin";
}

// Beside the backup, once the tree it holds is back but the backup itself could not be deleted: the same bytes,
// so that no later run puts that old copy back over newer settings.
std::wstring RestoredMark() {
    return Backup() + L".restored";
}

std::wstring Number(DWORD n) {
    return std::to_wstring(n);
}

// An antivirus or indexer may hold a file for a moment: a delete is tried for about two seconds.
bool DeleteSoon(const std::wstring& path) {
    for (int tries = 0;; ++tries) {
        if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        if (tries == 20)
            return false;
        Sleep(100);
    }
}

const wchar_t kRunAgain[] = L"then start run-tests.cmd again.";

// The user's roaming application data folder, which goes with the registry (HKEY_CURRENT_USER) to the next PC of a
// roaming profile: %APPDATA%, on XP too, else the folder Explorer records for it. Not through shell32, which would
// bring shcore into the window tests before the window loads it.
bool AppData(wchar_t (&folder)[MAX_PATH]) {
    DWORD length = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return true;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    wchar_t recorded[MAX_PATH] = {};
    DWORD size = sizeof recorded - sizeof(wchar_t), type = 0;
    const bool read =
        RegQueryValueExW(key, L"AppData", nullptr, &type, reinterpret_cast<BYTE*>(recorded), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ);
    RegCloseKey(key);
    length = read ? ExpandEnvironmentStringsW(recorded, folder, MAX_PATH) : 0;
    return length > 1 && length <= MAX_PATH;
}

// The tree as a backup file holds it, or false with where reading it failed. Only a tree that is not there counts as
// absent: any other failure to open it (an access list, say) stops the run.
bool Save(std::string& out, Failure& failure) {
    out.assign(kMagic, sizeof kMagic);
    HKEY probe;
    const LONG error = OpenKey(kGameKey, KEY_READ, probe);
    if (error == ERROR_SUCCESS) {
        RegCloseKey(probe);
        if (!SaveKey(kGameKey, out, failure))
            return false;
    } else if (error != ERROR_FILE_NOT_FOUND) {
        return failure = {kGameKey, error}, false;
    }
    out += 'E';
    return true;
}

std::string Save() {
    std::string out;
    Failure failure;
    return Save(out, failure) ? out : std::string();
}

std::wstring Describe(const Failure& failure) {
    const std::wstring key = L"HKEY_CURRENT_USER\\" + failure.key;
    return failure.error == kLink        ? key + L" is a registry link, which the kit cannot keep as it is"
           : failure.error == kNulInName ? key + L" holds a name with a NUL character in it, which the kit cannot keep"
                                         : key + L" cannot be read (error " + Number(failure.error) + L")";
}

// Why a tree did not come back: the key that could not be written, with the error, or that it read back otherwise.
std::wstring NotBack(const Failure& failure) {
    return !failure.error        ? L"they did not read back as saved"
           : failure.key.empty() ? L"flushing the registry failed, error " + Number(failure.error)
                                 : L"HKEY_CURRENT_USER\\" + failure.key + L", error " + Number(failure.error);
}

// "orim-before-restore-YYYYMMDD-HHMMSS.bin" in the state folder, never the name of an earlier one.
std::wstring KeptName() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    swprintf(name, 64, L"orim-before-restore-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    std::wstring kept = StateFolder() + name + L".bin";
    for (int n = 2; GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        kept = StateFolder() + name + L"-" + Number(n) + L".bin";
    return kept;
}

HANDLE NewJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // Breakaway allowed, so that a runner started inside it can give each program a job of its own before Windows 8.
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (job && !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        job = nullptr;
    }
    return job;
}

} // namespace

DWORD ReadWhole(const std::wstring& path, std::string& out) {
    out.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : GetLastError();
    DWORD error = 0, got = 0;
    const DWORD size = GetFileSize(file, nullptr);
    char buffer[65536];
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        out.append(buffer, got);
    if (size == INVALID_FILE_SIZE || out.size() != size)
        error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    CloseHandle(file);
    return error;
}

std::wstring StateFolder() {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QX_KIT_STATE", folder, MAX_PATH);
    std::wstring state;
    if (length > 0 && length < MAX_PATH) {
        state = folder;
    } else if (AppData(folder)) {
        state = std::wstring(folder) + L"\\QXLauncher Tests";
    }
    if (!state.empty() && state.back() != L'\\')
        state += L'\\';
    return state;
}

void EndChildrenWithThisProcess() {
    HANDLE job = NewJob();
    if (job && AssignProcessToJobObject(job, GetCurrentProcess()))
        return; // the handle stays open until the process ends
    Say(L"Note: programs this one starts may outlive it if it is stopped (error " + Number(GetLastError()) +
        L" putting it in a job).\n");
    if (job)
        CloseHandle(job);
}

BOOL StartInJob(const std::wstring& program, std::wstring& line, const wchar_t* folder, STARTUPINFOW& startup,
                PROCESS_INFORMATION& process, HANDLE& job) {
    job = NewJob();
    // Out of whatever job this process is in where that job allows it, so that before Windows 8, which has no
    // nested jobs, the child can join its own; else in this one's, where Windows 8 and later nest the two.
    BOOL started = FALSE;
    for (DWORD breakaway : {DWORD{CREATE_BREAKAWAY_FROM_JOB}, DWORD{0}}) {
        started = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED | breakaway,
                                 nullptr, folder, &startup, &process);
        if (started || GetLastError() != ERROR_ACCESS_DENIED)
            break;
    }
    if (!started) {
        const DWORD error = GetLastError();
        if (job)
            CloseHandle(job);
        job = nullptr;
        SetLastError(error);
        return FALSE;
    }
    if (job && !AssignProcessToJobObject(job, process.hProcess)) {
        Say(L"Note: " + program + L" is not in a job of its own (error " + Number(GetLastError()) +
            L"): what it starts may outlive it.\n");
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(process.hThread);
    return TRUE;
}

bool Guard::HeldForUs() {
    wchar_t held[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QX_KIT_HELD", held, MAX_PATH);
    return length > 0 && length < MAX_PATH && StateFolder() == held;
}

void Guard::Hold() const {
    SetEnvironmentVariableW(L"QX_KIT_HELD", StateFolder().c_str());
}

bool Guard::Begin() {
    const std::wstring folder = StateFolder(), backup = Backup(), mark = RestoredMark();
    if (folder.empty()) {
        Say(L"Found no application data folder for the game's settings' backup: nothing was changed or run. Send "
            L"this message to the developers.\n");
        return false;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    // A scanner may hold the lock for a moment; a run holds it throughout.
    for (int tries = 0; tries <= 20; ++tries, Sleep(100)) {
        lock_ = CreateFileW((folder + L"run.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0,
                            nullptr);
        if (lock_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
    }
    if (lock_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        Say(error == ERROR_SHARING_VIOLATION
                ? L"Another test run is going on for this Windows user (it holds " + folder +
                      L"run.lock): this one stops and changes nothing. Let the other end first, " + kRunAgain + L"\n"
                : L"Could not take the test kit's lock " + folder + L"run.lock (error " + Number(error) +
                      L"): nothing was changed or run. Check that you may write in that folder, " + kRunAgain + L"\n");
        return false;
    }
    std::string left, marked;
    const DWORD error = ReadWhole(backup, left);
    if (error != ERROR_FILE_NOT_FOUND) {
        std::vector<Key> tree;
        if (error != 0 || !Parse(left, tree)) {
            Say(L"The game's settings saved by an earlier test run are in " + backup +
                (error ? L", which cannot be read (error " + Number(error) +
                             L"): nothing was changed or run. Close the program that holds it (an antivirus or backup "
                             L"tool, say), " +
                             kRunAgain + L"\n"
                       : std::wstring(L", which is damaged: nothing was changed or run. Move that file to another "
                                      L"folder and keep it (it may be all that is left of those settings; send it to "
                                      L"the developers with this message), ") +
                             kRunAgain + L"\n"));
            return End(), false;
        }
        if (ReadWhole(mark, marked) == 0 && marked == left) {
            Say(L"The game's settings in " + backup + L" were put back by the run that saved them.\n");
        } else {
            // The settings as they are now may be newer than the backup (the game, or the player, since): kept first.
            std::string now;
            Failure failure;
            if (!Save(now, failure)) {
                Say(Describe(failure) + L": nothing was changed or run. Send this message to the developers.\n");
                return End(), false;
            }
            const std::wstring kept = KeptName();
            if (now != left && !WriteWhole(kept, now)) {
                Say(L"Could not keep the game's settings as they are now in " + kept +
                    L": nothing was changed or run. Check that you may write in that folder, " + kRunAgain + L"\n");
                return End(), false;
            }
            Say(L"A test run before this one was cut short: putting back the game's settings it saved in " + backup +
                L"." +
                (now == left
                     ? std::wstring(L" They are the same as now.\n")
                     : L" The settings as they were until now are kept in " + kept +
                           L"; to have those back instead, rename that file to orim-backup.bin, " + kRunAgain + L"\n"));
            if (!Write(tree, failure) || Save() != left) {
                Say(L"Could not put back the game's settings from " + backup + L" (" + NotBack(failure) +
                    L"): nothing was run. Keep that file and send this message to the developers; the next run " +
                    L"tries again.\n");
                return End(), false;
            }
        }
    }
    Failure failure;
    if (!Save(saved_, failure)) {
        Say(Describe(failure) + L": nothing was changed or run. Send this message to the developers.\n");
        saved_.clear();
        return End(), false;
    }
    if (!WriteWhole(backup, saved_)) {
        Say(L"Could not save the game's settings (HKEY_CURRENT_USER\\Software\\ORIM) to " + backup + L" (error " +
            Number(GetLastError()) + L"): nothing was run. Check that you may write in that folder, " + kRunAgain +
            L"\n");
        saved_.clear();
        return End(), false;
    }
    // Gone before any test runs, or a run cut short from here on would find its backup "put back" already.
    if (!DeleteSoon(mark)) {
        Say(L"Could not delete " + mark + L" (error " + Number(GetLastError()) + L"): nothing was run. Close the " +
            L"program that holds it, " + kRunAgain + L"\n");
        return End(), false;
    }
    return true;
}

bool Guard::End() {
    if (lock_ == INVALID_HANDLE_VALUE)
        return true;
    bool ok = false;
    std::vector<Key> tree;
    if (!saved_.empty()) {
        Failure failure;
        ok = Parse(saved_, tree) && Write(tree, failure) && Save() == saved_;
        // On the disk before the backup goes: a power cut must not leave test values and no backup.
        if (ok && (failure.error = RegFlushKey(HKEY_CURRENT_USER)) != ERROR_SUCCESS)
            ok = false; // the key stays empty: the hive as a whole
        if (!ok) {
            Say(L"Could not put back the game's settings (" + NotBack(failure) + L"): they stay saved in " + Backup() +
                L", and the next test run puts them back. If it keeps failing, send this message to " +
                L"the developers.\n");
        } else if (!DeleteSoon(Backup())) {
            const DWORD error = GetLastError();
            Say(L"The game's settings are back, but " + Backup() + L" could not be deleted (error " + Number(error) +
                (WriteWhole(RestoredMark(), saved_)
                     ? L"): it is marked as put back, and the next run deletes it.\n"
                     : L"), nor marked as put back: the next run keeps the settings as they are then before it puts "
                       L"that file back.\n"));
        }
        saved_.clear();
    }
    CloseHandle(lock_);
    lock_ = INVALID_HANDLE_VALUE;
    return ok;
}

Guard::~Guard() {
    if (lock_ != INVALID_HANDLE_VALUE)
        CloseHandle(lock_);
}

} // namespace gamekeys
