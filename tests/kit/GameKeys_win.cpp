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
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
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

bool SaveKey(const std::wstring& path, std::string& out) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    out += 'K';
    PutText(out, path);
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    bool ok = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                               &longestData, nullptr, nullptr) == ERROR_SUCCESS;
    std::vector<wchar_t> name(std::max(longestName, longestSubkey) + 2);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0; ok && i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
        ok = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
        out += 'V';
        PutText(out, std::wstring(name.data(), nameLength));
        Put(out, &type, sizeof type);
        Put(out, data.data(), size);
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0; ok && i < subkeys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        ok = RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        children.push_back(path + L"\\" + std::wstring(name.data(), nameLength));
    }
    RegCloseKey(key);
    for (const auto& child : children)
        ok = ok && SaveKey(child, out);
    return ok;
}

// RegDeleteTree and SHDeleteKey are not on every Windows the kit runs on: the subkeys go first, one by one.
void DeleteKey(const std::wstring& path) {
    std::vector<std::wstring> children;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
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
bool Write(const std::vector<Key>& tree) {
    DeleteKey(kGameKey);
    bool ok = true;
    for (const Key& saved : tree) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, saved.path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        for (const Value& value : saved.values) {
            // Non-zero guards on both sides: given text without its terminator, RegSetValueExW adds one when the
            // next character is a NUL, and would look before the data for a single byte.
            const std::string data = "\xff\xff" + value.bytes + "\xff\xff";
            ok = RegSetValueExW(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(data.data() + 2),
                                static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS &&
                 ok;
        }
        RegCloseKey(key);
    }
    return ok;
}

// Written under another name, flushed, and renamed once whole, so a backup cut short is never taken for one.
bool WriteWhole(const std::wstring& path, const std::string& data) {
    const std::wstring part = path + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                    written == data.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return ok && MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

std::wstring Backup() {
    return StateFolder() + L"orim-backup.bin";
}

std::wstring Number(DWORD n) {
    return std::to_wstring(n);
}

// The user's local application data folder: %LOCALAPPDATA% from Vista on, else (XP) the folder Explorer records for
// it. Not through shell32, which would bring shcore into the window tests before the window loads it.
bool LocalAppData(wchar_t (&folder)[MAX_PATH]) {
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return true;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    wchar_t recorded[MAX_PATH] = {};
    DWORD size = sizeof recorded - sizeof(wchar_t), type = 0;
    const bool read = RegQueryValueExW(key, L"Local AppData", nullptr, &type, reinterpret_cast<BYTE*>(recorded),
                                       &size) == ERROR_SUCCESS &&
                      (type == REG_SZ || type == REG_EXPAND_SZ);
    RegCloseKey(key);
    length = read ? ExpandEnvironmentStringsW(recorded, folder, MAX_PATH) : 0;
    return length > 1 && length <= MAX_PATH;
}

// The saved tree, as a backup file holds it.
std::string Save(bool& ok) {
    std::string out(kMagic, sizeof kMagic);
    HKEY probe;
    ok = true;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kGameKey, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        ok = SaveKey(kGameKey, out);
    }
    return out + 'E';
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
    } else if (LocalAppData(folder)) {
        state = std::wstring(folder) + L"\\QXLauncher Tests";
    }
    if (!state.empty() && state.back() != L'\\')
        state += L'\\';
    return state;
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
    const std::wstring folder = StateFolder(), backup = Backup();
    if (folder.empty()) {
        Say(L"Found no local application data folder for the game's settings' backup: nothing was changed or run.\n");
        return false;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    lock_ = CreateFileW((folder + L"run.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0,
                        nullptr);
    if (lock_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        Say(error == ERROR_SHARING_VIOLATION
                ? L"Another test run is going on for this Windows user: this one stops and changes nothing. Let the "
                  L"other end first (it holds " + folder + L"run.lock).\n"
                : L"Could not take the test kit's lock " + folder + L"run.lock (error " + Number(error) +
                      L"): nothing was changed.\n");
        return false;
    }
    std::string left;
    const DWORD error = ReadWhole(backup, left);
    if (error != ERROR_FILE_NOT_FOUND) {
        std::vector<Key> tree;
        if (error != 0 || !Parse(left, tree)) {
            Say(L"The game's settings saved by an earlier test run are in " + backup +
                (error ? L", which cannot be read (error " + Number(error) +
                             L"): nothing was changed or run. Close whatever holds it, then run again.\n"
                       : std::wstring(L", which is damaged: nothing was changed or run. Keep that file: it may "
                                      L"be all that is left of them.\n")));
            return End(), false;
        }
        Say(L"A test run before this one was cut short: putting back the game's settings it saved in " + backup +
            L".\n");
        bool ok = false;
        if (!Write(tree) || Save(ok) != left || !ok) {
            Say(L"Could not put back the game's settings from " + backup + L": nothing was run. Keep that file.\n");
            return End(), false;
        }
    }
    bool ok = false;
    saved_ = Save(ok);
    if (!ok || !WriteWhole(backup, saved_)) {
        Say(L"Could not save the game's settings (HKEY_CURRENT_USER\\Software\\ORIM) to " + backup +
            L": nothing was run.\n");
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
        ok = Parse(saved_, tree) && Write(tree);
        bool read = false;
        ok = ok && Save(read) == saved_ && read && DeleteFileW(Backup().c_str());
        if (!ok)
            Say(L"Could not put back the game's settings: they stay saved in " + Backup() +
                L", and the next test run puts them back.\n");
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
