// kit-runner.exe: runs the test programs of the Windows test kit on the machine it is unpacked on. The tests use the
// game's own keys under HKEY_CURRENT_USER\Software\ORIM, so the runner saves that tree first, bit for bit, to a
// file in the kit's folder, and puts it back afterwards; a backup left by a run that was cut short is put back before
// anything else. Runs on Windows XP SP3 and later, and under Wine; needs no administrator rights.
//   kit-runner.exe [--programs NAME.exe...]   (default: every *_tests.exe beside it)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kGameKey[] = L"Software\\ORIM";
const wchar_t kBackup[] = L"orim-backup.bin";
const wchar_t kBackupPart[] = L"orim-backup.bin.part";
const char kMagic[] = "QXKIT-ORIM-1";

std::wstring KitFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// The backup: the magic, then, if the key existed, one record per key (pre-order, so parents come first):
// "K" path, then "V" name, type, bytes for each of its values. Text is UTF-16, every length a 32-bit count.
void Put(std::string& out, const void* data, DWORD size) {
    out.append(reinterpret_cast<const char*>(&size), sizeof size);
    out.append(static_cast<const char*>(data), size);
}

void PutText(std::string& out, const std::wstring& text) {
    Put(out, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

bool SaveKey(HKEY parent, const std::wstring& path, std::string& out) {
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
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
        ok = ok && SaveKey(parent, child, out);
    return ok;
}

// RegDeleteTree and SHDeleteKey are not on every Windows the kit runs on: the subkeys go first, one by one.
void DeleteKey(HKEY parent, const std::wstring& path) {
    std::vector<std::wstring> children;
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0, length = 256;
             RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; length = 256)
            children.push_back(path + L"\\" + std::wstring(name, length)), ++i;
        RegCloseKey(key);
    }
    for (const auto& child : children)
        DeleteKey(parent, child);
    RegDeleteKeyW(parent, path.c_str());
}

struct Reader {
    const std::string& in;
    std::size_t at = 0;
    bool ok = true;
    std::string Take() {
        DWORD size = 0;
        if (at + sizeof size > in.size())
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
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
        return text;
    }
};

// Puts the saved tree back in place of whatever is there now; an absent key stays absent.
bool Restore(const std::string& saved) {
    if (saved.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0)
        return false;
    DeleteKey(HKEY_CURRENT_USER, kGameKey);
    Reader reader{saved, sizeof kMagic};
    HKEY key = nullptr;
    bool ok = true;
    while (reader.ok && reader.at < saved.size()) {
        const char record = saved[reader.at++];
        if (record == 'K') {
            if (key)
                RegCloseKey(key);
            key = nullptr;
            ok = RegCreateKeyExW(HKEY_CURRENT_USER, reader.TakeText().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                 nullptr) == ERROR_SUCCESS &&
                 ok;
        } else if (record == 'V' && key) {
            const std::wstring name = reader.TakeText();
            DWORD type = 0;
            const std::string typeBytes = reader.Take();
            memcpy(&type, typeBytes.data(), std::min(typeBytes.size(), sizeof type));
            // Non-zero guards on both sides: given text without its terminator, RegSetValueExW adds one when the
            // next character is a NUL, and would look before the data for a single byte.
            std::string data = "\xff\xff" + reader.Take() + "\xff\xff";
            ok = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data() + 2),
                                static_cast<DWORD>(data.size() - 4)) == ERROR_SUCCESS &&
                 ok;
        } else {
            reader.ok = false;
        }
    }
    if (key)
        RegCloseKey(key);
    return ok && reader.ok;
}

bool ReadFileWhole(const std::wstring& path, std::string& out) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    out.clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        out.append(buffer, got);
    CloseHandle(file);
    return true;
}

// Written under another name and renamed once whole, so a backup cut short is never taken for one.
bool WriteBackup(const std::wstring& folder, const std::string& data) {
    const std::wstring part = folder + kBackupPart;
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
              written == data.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return ok && MoveFileExW(part.c_str(), (folder + kBackup).c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The sum of an attribute over the report's elements `tag` ("<testsuites " once, "<testsuite " per suite).
int Sum(const std::string& xml, const char* tag, const char* name) {
    const std::string wanted = std::string(" ") + name + "=\"";
    int sum = 0;
    for (std::size_t at = xml.find(tag); at != std::string::npos; at = xml.find(tag, at + 1)) {
        const std::size_t value = xml.find(wanted, at);
        if (value < xml.find('>', at))
            sum += atoi(xml.c_str() + value + wanted.size());
    }
    return sum;
}

// Each skipped case of a report with the reason it gave, the text after the location in its <skipped> element.
void PrintSkips(const std::string& xml) {
    const std::string testcase = "<testcase name=\"", suite = " classname=\"", cdata = "<![CDATA[";
    for (std::size_t at = xml.find("<skipped "); at != std::string::npos; at = xml.find("<skipped ", at + 1)) {
        const std::size_t name = xml.rfind(testcase, at) + testcase.size(),
                          inSuite = xml.find(suite, name) + suite.size();
        const std::size_t reason = xml.find('\n', xml.find(cdata, at)) + 1;
        printf("    skipped %s.%s: %s\n", xml.substr(inSuite, xml.find('"', inSuite) - inSuite).c_str(),
               xml.substr(name, xml.find('"', name) - name).c_str(),
               xml.substr(reason, xml.find("]]>", reason) - reason).c_str());
    }
}

// GoogleTest opens its report by the name of the current folder in the system's code page: a folder whose name that
// code page cannot hold is given to the programs by its short name, where the volume keeps short names.
std::wstring WorkingFolder(const std::wstring& folder) {
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, nullptr, 0, nullptr, &lossy);
    wchar_t shortName[MAX_PATH];
    const DWORD length = lossy ? GetShortPathNameW(folder.c_str(), shortName, MAX_PATH) : 0;
    return length > 0 && length < MAX_PATH ? shortName : folder;
}

struct Counts {
    int passed = 0, failed = 0, skipped = 0;
};

// Runs one test program in the kit's folder, its report (NAME.xml) and output (NAME.txt) beside it; a program that
// ends badly or writes no report counts as one failure more than its report shows.
Counts RunProgram(const std::wstring& folder, const std::wstring& program) {
    const std::wstring stem = program.substr(0, program.rfind(L'.'));
    const std::wstring report = folder + stem + L".xml";
    DeleteFileW(report.c_str());
    std::wstring line = L"\"" + folder + program + L"\" --gtest_output=xml:" + stem + L".xml";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileW((folder + stem + L".txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    DWORD exitCode = 1;
    if (output != INVALID_HANDLE_VALUE &&
        CreateProcessW((folder + program).c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                       WorkingFolder(folder).c_str(), &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 30 * 60 * 1000) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, ERROR_TIMEOUT);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    Counts counts;
    std::string xml;
    const bool reported = ReadFileWhole(report, xml) && xml.find("<testsuites ") != std::string::npos;
    if (reported) {
        // <testsuites> counts no skips: the suites do.
        counts.failed = Sum(xml, "<testsuites ", "failures") + Sum(xml, "<testsuites ", "errors");
        counts.skipped = Sum(xml, "<testsuite ", "skipped") + Sum(xml, "<testsuites ", "disabled");
        counts.passed = Sum(xml, "<testsuites ", "tests") - counts.failed - counts.skipped;
    }
    if (!reported || (exitCode != 0 && counts.failed == 0))
        ++counts.failed;
    printf("%-24ls %4d passed, %d failed, %d skipped%s\n", program.c_str(), counts.passed, counts.failed,
           counts.skipped, reported ? (exitCode == 0 ? "" : " (exit code not 0)") : " (ended without its report)");
    PrintSkips(xml);
    fflush(stdout);
    return counts;
}

std::vector<std::wstring> DefaultPrograms(const std::wstring& folder) {
    std::vector<std::wstring> programs;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*_tests.exe").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            programs.push_back(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = KitFolder();
    std::vector<std::wstring> programs;
    if (argc > 1 && wcscmp(argv[1], L"--programs") == 0)
        programs.assign(argv + 2, argv + argc);
    else
        programs = DefaultPrograms(folder);

    std::string saved;
    if (ReadFileWhole(folder + kBackup, saved)) {
        printf("A run before this one was cut short: putting back the game's settings it saved.\n");
        if (!Restore(saved)) {
            printf("Could not put back the game's settings from %ls: nothing was run.\n", kBackup);
            return 2;
        }
    }
    saved.assign(kMagic, sizeof kMagic);
    DeleteFileW((folder + kBackupPart).c_str());
    HKEY probe;
    const bool present = RegOpenKeyExW(HKEY_CURRENT_USER, kGameKey, 0, KEY_READ, &probe) == ERROR_SUCCESS;
    if (present)
        RegCloseKey(probe);
    if ((present && !SaveKey(HKEY_CURRENT_USER, kGameKey, saved)) || !WriteBackup(folder, saved)) {
        printf("Could not save the game's settings (HKEY_CURRENT_USER\\%ls) to the kit's folder: nothing was run.\n",
               kGameKey);
        return 2;
    }

    Counts total;
    for (const auto& program : programs) {
        const Counts counts = RunProgram(folder, program);
        total.passed += counts.passed;
        total.failed += counts.failed;
        total.skipped += counts.skipped;
    }

    const bool restored = Restore(saved) && DeleteFileW((folder + kBackup).c_str());
    if (!restored)
        printf("Could not put back the game's settings: they stay saved in %ls, and the next run puts them back.\n",
               kBackup);
    printf("%d passed, %d failed, %d skipped\n", total.passed, total.failed, total.skipped);
    return total.failed == 0 && restored ? 0 : 1;
}
