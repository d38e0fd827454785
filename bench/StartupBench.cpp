// Start-up benchmark: how long QXLauncher takes from CreateProcessW until its window is up and waiting for input,
// against the styled reference (the same window and manifest without the launcher's logic) and an empty window of
// the same size. A report, not a test: it exits 0 whatever the figures, and non-zero only when it cannot measure.
// bench/run.sh adds the exe's size and imports.
//
//   StartupBench LAUNCHER.exe STYLED.exe EMPTY.exe [ROUNDS]
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultRounds = 15;
constexpr int kMinRounds = 10;
constexpr DWORD kIdleTimeoutMs = 30000;
constexpr DWORD kVisibleTimeoutMs = 5000; // after WaitForInputIdle has returned
constexpr DWORD kCloseTimeoutMs = 5000;
constexpr DWORD kSettleMs = 200;     // between runs, so one program's exit does not overlap the next one's start
// Against the styled reference: the same window, controls and visual styles without the launcher's own work. The empty
// window is the floor of any window at all, not a target: the styled reference alone is about 1.7 times it.
constexpr double kRatioTarget = 1.05;

enum ExitCode { kExitReport = 0, kExitRunFailed = 1, kExitUsage = 2 };

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

// The q-quantile (0..1) by linear interpolation between the sorted values.
double Quantile(std::vector<double> values, double q) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    double at = q * static_cast<double>(values.size() - 1);
    std::size_t below = static_cast<std::size_t>(at);
    if (below + 1 >= values.size())
        return values.back();
    return values[below] + (values[below + 1] - values[below]) * (at - static_cast<double>(below));
}

double Median(const std::vector<double>& values) {
    return Quantile(values, 0.5);
}

// Median and the middle half of the values: on a shared machine the spread says how far to trust the median.
void PrintSpread(const char* label, const std::vector<double>& values, const char* unit) {
    std::printf("  %-16s median %7.2f%s   middle half %.2f to %.2f, min %.2f, max %.2f\n", label, Median(values), unit,
                Quantile(values, 0.25), Quantile(values, 0.75), *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()));
}

// ---- Starting, timing and closing one program ----

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceFrequency(&frequency_); }
    LONGLONG Now() const {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t.QuadPart;
    }
    LONGLONG After(LONGLONG from, DWORD ms) const { return from + frequency_.QuadPart * ms / 1000; }
    double Ms(LONGLONG from, LONGLONG to) const {
        return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_;
};

struct WindowSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(hwnd)))
        search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
    WindowSearch search{processId, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct RunResult {
    bool ok = false;
    double ms = 0.0;
    bool waitedForWindow = false; // idle came before the window was visible; the wait for it is counted
    bool terminated = false;      // did not close within kCloseTimeoutMs of WM_CLOSE
    std::wstring error;
};

// Closes the program as a user would (WM_CLOSE to its windows), and forcibly only if it does not go.
bool CloseProgram(const PROCESS_INFORMATION& pi) {
    std::vector<HWND> windows = TopLevelWindows(pi.dwProcessId, true);
    if (windows.empty())
        windows = TopLevelWindows(pi.dwProcessId, false);
    for (HWND hwnd : windows)
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, kCloseTimeoutMs) == WAIT_OBJECT_0)
        return true;
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, kCloseTimeoutMs);
    return false;
}

bool HasExited(HANDLE process) {
    return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

std::wstring ExitedMessage(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return L"exited (code " + std::to_wstring(code) + L") before its window was ready";
}

// Time from just before CreateProcessW until the program is idle in its message loop with a visible window.
RunResult TimeStartup(const Stopwatch& clock, const std::wstring& exe, const std::wstring& directory) {
    RunResult result;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};

    LONGLONG start = clock.Now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &si,
                        &pi)) {
        result.error = L"CreateProcessW failed, error " + std::to_wstring(GetLastError());
        return result;
    }
    DWORD idle = WaitForInputIdle(pi.hProcess, kIdleTimeoutMs);
    LONGLONG ready = clock.Now();

    if (idle != 0) {
        // WAIT_FAILED also comes back at once for a console program, which has no message loop to wait for.
        result.error = idle == WAIT_TIMEOUT ? L"never became idle within 30 s"
                                            : L"WaitForInputIdle failed (not a windowed program?), error " +
                                                  std::to_wstring(GetLastError());
        if (HasExited(pi.hProcess))
            result.error = ExitedMessage(pi.hProcess);
    } else if (TopLevelWindows(pi.dwProcessId, true).empty()) {
        // Idle before the window was shown: something in start-up pumped messages. Count until it shows.
        result.waitedForWindow = true;
        LONGLONG deadline = clock.After(ready, kVisibleTimeoutMs);
        for (;;) {
            Sleep(1);
            ready = clock.Now();
            if (!TopLevelWindows(pi.dwProcessId, true).empty())
                break;
            if (HasExited(pi.hProcess)) {
                result.error = ExitedMessage(pi.hProcess);
                break;
            }
            if (ready > deadline) {
                result.error = L"idle, but no visible window within 5 s";
                break;
            }
        }
    }
    if (result.error.empty()) {
        result.ok = true;
        result.ms = clock.Ms(start, ready);
    }
    if (!HasExited(pi.hProcess))
        result.terminated = !CloseProgram(pi);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Sleep(kSettleMs);
    return result;
}

struct Program {
    const char* label;
    std::wstring exe;
    std::wstring directory;
    std::vector<double> ms;
    int waitedForWindow = 0;
    int terminated = 0;
};

bool RunAndRecord(const Stopwatch& clock, Program& program, bool record) {
    RunResult r = TimeStartup(clock, program.exe, program.directory);
    program.terminated += r.terminated ? 1 : 0;
    if (!r.ok) {
        std::fprintf(stderr, "StartupBench: %s (%s): %s\n", program.label, Utf8(program.exe).c_str(),
                     Utf8(r.error).c_str());
        return false;
    }
    if (record) {
        program.ms.push_back(r.ms);
        program.waitedForWindow += r.waitedForWindow ? 1 : 0;
    }
    return true;
}

// ---- Arguments, the runs and the report ----

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
    return length && length < std::size(buffer) ? std::wstring(buffer, length) : path;
}

std::wstring DirectoryOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: StartupBench LAUNCHER.exe STYLED.exe EMPTY.exe [ROUNDS]   (ROUNDS: at least %d, default %d)\n",
                 kMinRounds, kDefaultRounds);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || argc > 5) {
        PrintUsage();
        return kExitUsage;
    }
    int rounds = kDefaultRounds;
    if (argc == 5) {
        wchar_t* end = nullptr;
        long value = std::wcstol(argv[4], &end, 10);
        if (!*argv[4] || *end || value < kMinRounds || value > 1000) {
            PrintUsage();
            return kExitUsage;
        }
        rounds = static_cast<int>(value);
    }
    Program launcher{"launcher", FullPath(argv[1]), L"", {}};
    Program styled{"styled", FullPath(argv[2]), L"", {}};
    Program empty{"empty", FullPath(argv[3]), L"", {}};
    Program* programs[] = {&launcher, &styled, &empty};
    constexpr int kPrograms = static_cast<int>(std::size(programs));
    for (Program* p : programs) {
        if (!FileExists(p->exe)) {
            std::fprintf(stderr, "StartupBench: %s exe not found: %s\n", p->label, Utf8(p->exe).c_str());
            return kExitUsage;
        }
        p->directory = DirectoryOf(p->exe);
    }

    // Millisecond sleeps while polling for the window, rather than the default 15.6 ms tick on Windows.
    timeBeginPeriod(1);
    Stopwatch clock;
    bool ok = true;
    for (Program* p : programs)
        ok = ok && RunAndRecord(clock, *p, false);
    std::vector<double> toStyled, toEmpty;
    for (int i = 0; ok && i < rounds; ++i) {
        // Each program goes first in turn, so a slow drift of the machine falls on all of them alike.
        for (int k = 0; ok && k < kPrograms; ++k)
            ok = RunAndRecord(clock, *programs[(i + k) % kPrograms], true);
        if (ok) {
            toStyled.push_back(launcher.ms.back() / styled.ms.back());
            toEmpty.push_back(launcher.ms.back() / empty.ms.back());
        }
    }
    timeEndPeriod(1);
    if (!ok)
        return kExitRunFailed;

    std::printf("QXLauncher start-up benchmark\n");
    for (const Program* p : programs)
        std::printf("  %-8s %s\n", p->label, Utf8(p->exe).c_str());
    std::printf("  %d rounds of the three after one warm-up run of each; time from CreateProcessW until idle with a "
                "visible window\n\n",
                rounds);
    std::printf("  round  first     launcher ms  styled ms  empty ms  launcher/styled  launcher/empty\n");
    for (int i = 0; i < rounds; ++i)
        std::printf("  %5d  %-8s  %11.1f  %9.1f  %8.1f  %15.2f  %14.2f\n", i + 1, programs[i % kPrograms]->label,
                    launcher.ms[i], styled.ms[i], empty.ms[i], toStyled[i], toEmpty[i]);
    std::printf("\n");

    for (const Program* p : programs)
        PrintSpread(p->label, p->ms, " ms");
    PrintSpread("launcher/styled", toStyled, "");
    PrintSpread("launcher/empty", toEmpty, "");
    double ratioStyled = Median(toStyled);
    std::printf("  target: launcher/styled <= %.2f: %s (the empty window is the floor, not a target)\n", kRatioTarget,
                ratioStyled <= kRatioTarget ? "PASS" : "FAIL");

    for (const Program* p : programs) {
        if (p->waitedForWindow)
            std::printf("  note: %s was idle before its window was visible in %d run(s); the wait was counted\n",
                        p->label, p->waitedForWindow);
        if (p->terminated)
            std::printf("  note: %s did not close on WM_CLOSE within 5 s in %d run(s) and was terminated\n", p->label,
                        p->terminated);
    }
    return kExitReport;
}
