// kit-runner.exe: runs the test programs of the Windows test kit on the machine it is unpacked on. The tests use the
// game's own keys under HKEY_CURRENT_USER\Software\ORIM, so the runner saves that tree first, bit for bit, to the
// user's one backup (GameKeys_win.h), and puts it back afterwards; a backup left by a run that was cut short, from
// any folder, is put back before anything else, and a second run at once stops. Each program, and whatever it starts,
// runs in a job that ends it when the runner ends. Runs on Windows XP SP3 and later, and under Wine; needs no
// administrator rights.
//   kit-runner.exe [--programs NAME.exe...]   (default: every test program the kit ships, each of which, and each
//                                              file they need, must be there)
#include "GameKeys_win.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::wstring KitFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1);
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

// Whether the system's code page holds every character of `path`.
bool Nameable(const std::wstring& path) {
    BOOL lossy = FALSE;
    return GetACP() == CP_UTF8 ||
           (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy) > 0 &&
            !lossy);
}

// GoogleTest opens its report by a name in the system's code page, and makes a relative name absolute through the
// current folder's name in that code page: the report goes to the first of the kit's folder, its short name, the
// temporary folder and its short name that the code page can name ("" for none). Many volumes keep no short names
// (exFAT, most NTFS volumes but the system's on Windows 10 and later); QX_KIT_NO_SHORT_NAMES, for the kit's own
// tests, makes as if this one kept none.
std::wstring ReportFolder(const std::wstring& folder) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const bool shortNames = GetEnvironmentVariableW(L"QX_KIT_NO_SHORT_NAMES", nullptr, 0) == 0;
    for (const std::wstring& candidate : {folder, std::wstring(temp)}) {
        if (Nameable(candidate))
            return candidate;
        wchar_t shortName[MAX_PATH];
        const DWORD length = shortNames ? GetShortPathNameW(candidate.c_str(), shortName, MAX_PATH) : 0;
        if (length > 0 && length < MAX_PATH && Nameable(shortName))
            return shortName;
    }
    return L"";
}

struct Counts {
    int passed = 0, failed = 0, skipped = 0;
};

// Runs one test program in the kit's folder, its report (NAME.xml) and output (NAME.txt) beside it; a program that
// ends badly or writes no report counts as one failure more than its report shows.
Counts RunProgram(const std::wstring& folder, const std::wstring& program) {
    const std::wstring stem = program.substr(0, program.rfind(L'.'));
    const std::wstring report = folder + stem + L".xml", reportFolder = ReportFolder(folder);
    const std::wstring written = reportFolder == folder ? report : reportFolder + L"qxkit-" + stem + L".xml";
    DeleteFileW(report.c_str());
    DeleteFileW(written.c_str());
    // Quoted whole: a folder's name may have blanks (C:\Documents and Settings\, C:\Users\John Smith\).
    std::wstring line = L"\"" + folder + program + L"\" \"--gtest_output=xml:" + written + L"\"";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileW((folder + stem + L".txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    HANDLE job = nullptr;
    DWORD exitCode = 1;
    if (output != INVALID_HANDLE_VALUE &&
        gamekeys::StartInJob(folder + program, line, folder.c_str(), startup, process, job)) {
        if (WaitForSingleObject(process.hProcess, 30 * 60 * 1000) == WAIT_TIMEOUT)
            job ? TerminateJobObject(job, ERROR_TIMEOUT) : TerminateProcess(process.hProcess, ERROR_TIMEOUT);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (job) {
        // Whatever the program left running (a launcher, the stand-in game) ends before the next one, or the keys'
        // restore, begins.
        TerminateJobObject(job, 1);
        CloseHandle(job);
    }
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (written != report)
        MoveFileExW(written.c_str(), report.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    Counts counts;
    std::string xml;
    const bool reported = gamekeys::ReadWhole(report, xml) == 0 && xml.find("<testsuites ") != std::string::npos;
    if (reported) {
        // <testsuites> counts no skips: the suites do.
        counts.failed = Sum(xml, "<testsuites ", "failures") + Sum(xml, "<testsuites ", "errors");
        counts.skipped = Sum(xml, "<testsuite ", "skipped") + Sum(xml, "<testsuites ", "disabled");
        counts.passed = Sum(xml, "<testsuites ", "tests") - counts.failed - counts.skipped;
    }
    if (!reported || (exitCode != 0 && counts.failed == 0))
        ++counts.failed;
    printf("%-24ls %4d passed, %d failed, %d skipped%s\n", program.c_str(), counts.passed, counts.failed,
           counts.skipped,
           reported               ? (exitCode == 0 ? "" : " (exit code not 0)")
           : reportFolder.empty() ? " (no folder for its report whose name the system's code page holds)"
                                  : " (ended without its report)");
    PrintSkips(xml);
    fflush(stdout);
    return counts;
}

// Those of `files` in the kit's folder; each one the kit ships that is not there (an antivirus took it, the zip was
// half extracted) fails the run by name.
std::vector<std::wstring> Present(const std::wstring& folder, std::initializer_list<const wchar_t*> files,
                                  Counts& total) {
    std::vector<std::wstring> present;
    for (const wchar_t* file : files) {
        if (GetFileAttributesW((folder + file).c_str()) != INVALID_FILE_ATTRIBUTES) {
            present.push_back(file);
        } else {
            printf("%-24ls    0 passed, 1 failed, 0 skipped (missing from the kit's folder)\n", file);
            ++total.failed;
        }
    }
    fflush(stdout);
    return present;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = KitFolder();
    std::vector<std::wstring> programs;
    Counts total;
    if (argc > 1 && wcscmp(argv[1], L"--programs") == 0) {
        programs.assign(argv + 2, argv + argc);
    } else {
        programs = Present(folder, {QX_KIT_PROGRAMS}, total);
        Present(folder, {QX_KIT_COMPANIONS}, total);
    }

    gamekeys::Guard guard;
    if (!guard.Begin())
        return 2;
    guard.Hold();

    for (const auto& program : programs) {
        const Counts counts = RunProgram(folder, program);
        total.passed += counts.passed;
        total.failed += counts.failed;
        total.skipped += counts.skipped;
    }

    const bool restored = guard.End();
    printf("%d passed, %d failed, %d skipped\n", total.passed, total.failed, total.skipped);
    return total.failed == 0 && restored ? 0 : 1;
}
