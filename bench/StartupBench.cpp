// Start-up benchmark: how long QXLauncher takes from CreateProcessW until its window is up and waiting for input,
// against an empty window of the same size; plus the exe's size and the DLLs it imports. A report, not a test: it
// exits 0 whatever the figures, and non-zero only when it cannot measure.
//
//   StartupBench LAUNCHER.exe BASELINE.exe [PAIRS]
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultPairs = 15;
constexpr int kMinPairs = 10;
constexpr DWORD kIdleTimeoutMs = 30000;
constexpr DWORD kVisibleTimeoutMs = 5000; // after WaitForInputIdle has returned
constexpr DWORD kCloseTimeoutMs = 5000;
constexpr DWORD kSettleMs = 200; // between runs, so one program's exit does not overlap the next one's start
constexpr double kRatioTarget = 1.5;
constexpr std::uint64_t kSizeTargetKb = 300;

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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    if (n == 0)
        return 0.0;
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
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

// ---- The launcher's imports, read from the PE file itself ----

class PeFile {
public:
    explicit PeFile(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

    template <typename T> bool Read(std::size_t offset, T& out) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T))
            return false;
        std::memcpy(&out, bytes_.data() + offset, sizeof(T));
        return true;
    }

    // A NUL-terminated ASCII string at a file offset, or false if it runs off the end of the file.
    bool ReadString(std::size_t offset, std::string& out) const {
        out.clear();
        for (std::size_t i = offset; i < bytes_.size(); ++i) {
            if (!bytes_[i])
                return true;
            out += static_cast<char>(bytes_[i]);
        }
        return false;
    }

    void SetSections(std::vector<IMAGE_SECTION_HEADER> sections, DWORD sizeOfHeaders) {
        sections_ = std::move(sections);
        sizeOfHeaders_ = sizeOfHeaders;
    }

    bool RvaToOffset(std::uint64_t rva, std::size_t& offset) const {
        if (rva < sizeOfHeaders_) {
            offset = static_cast<std::size_t>(rva);
            return offset < bytes_.size();
        }
        for (const auto& s : sections_) {
            std::uint64_t begin = s.VirtualAddress;
            std::uint64_t size = std::max<std::uint64_t>(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= begin && rva < begin + size) {
                if (rva - begin >= s.SizeOfRawData)
                    return false; // in the zero-filled tail: not in the file
                offset = static_cast<std::size_t>(s.PointerToRawData + (rva - begin));
                return offset < bytes_.size();
            }
        }
        return false;
    }

private:
    std::vector<unsigned char> bytes_;
    std::vector<IMAGE_SECTION_HEADER> sections_;
    DWORD sizeOfHeaders_ = 0;
};

struct ImageInfo {
    std::uint64_t size = 0;
    std::string format; // "PE32 (x86)", "PE32+ (x64)", ...
    std::vector<std::string> imports;
    std::vector<std::string> delayImports;
    std::wstring error;
};

bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>& bytes, std::wstring& error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = L"cannot open, error " + std::to_wstring(GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() ||
             (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
    }
    CloseHandle(file);
    if (!ok)
        error = L"cannot read";
    return ok;
}

std::string MachineName(WORD machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
        return "x86";
    case IMAGE_FILE_MACHINE_AMD64:
        return "x64";
    case 0xAA64:
        return "ARM64";
    default: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "machine 0x%04X", machine);
        return hex;
    }
    }
}

// Walks the import directory (and the delay-load one, if any) of a PE32 or PE32+ image on disk.
ImageInfo ReadImageInfo(const std::wstring& path) {
    ImageInfo info;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes, info.error))
        return info;
    info.size = bytes.size();
    PeFile pe(std::move(bytes));

    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    IMAGE_FILE_HEADER fileHeader{};
    WORD magic = 0;
    if (!pe.Read(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
        !pe.Read(static_cast<std::size_t>(dos.e_lfanew), signature) || signature != IMAGE_NT_SIGNATURE) {
        info.error = L"not a PE image";
        return info;
    }
    std::size_t fileHeaderAt = static_cast<std::size_t>(dos.e_lfanew) + sizeof signature;
    std::size_t optionalAt = fileHeaderAt + sizeof fileHeader;
    if (!pe.Read(fileHeaderAt, fileHeader) || !pe.Read(optionalAt, magic)) {
        info.error = L"truncated PE header";
        return info;
    }

    // The two optional-header layouts differ in ImageBase's width and hence in where the data directories sit.
    std::uint64_t imageBase = 0;
    DWORD sizeOfHeaders = 0;
    DWORD directoryCount = 0;
    const IMAGE_DATA_DIRECTORY* directories = nullptr;
    IMAGE_OPTIONAL_HEADER32 header32{};
    IMAGE_OPTIONAL_HEADER64 header64{};
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC && fileHeader.SizeOfOptionalHeader >= sizeof header32 &&
        pe.Read(optionalAt, header32)) {
        info.format = "PE32 (" + MachineName(fileHeader.Machine) + ")";
        imageBase = header32.ImageBase;
        sizeOfHeaders = header32.SizeOfHeaders;
        directoryCount = header32.NumberOfRvaAndSizes;
        directories = header32.DataDirectory;
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC && fileHeader.SizeOfOptionalHeader >= sizeof header64 &&
               pe.Read(optionalAt, header64)) {
        info.format = "PE32+ (" + MachineName(fileHeader.Machine) + ")";
        imageBase = header64.ImageBase;
        sizeOfHeaders = header64.SizeOfHeaders;
        directoryCount = header64.NumberOfRvaAndSizes;
        directories = header64.DataDirectory;
    } else {
        info.error = L"truncated or unknown optional header";
        return info;
    }
    directoryCount = std::min<DWORD>(directoryCount, IMAGE_NUMBEROF_DIRECTORY_ENTRIES);

    std::vector<IMAGE_SECTION_HEADER> sections(fileHeader.NumberOfSections);
    std::size_t sectionsAt = optionalAt + fileHeader.SizeOfOptionalHeader;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (!pe.Read(sectionsAt + i * sizeof(IMAGE_SECTION_HEADER), sections[i])) {
            info.error = L"truncated section table";
            return info;
        }
    }
    pe.SetSections(std::move(sections), sizeOfHeaders);

    constexpr std::size_t kMaxDescriptors = 4096; // a corrupt table must not run on for ever
    if (directoryCount > IMAGE_DIRECTORY_ENTRY_IMPORT && directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress) {
        std::size_t at = 0;
        if (!pe.RvaToOffset(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress, at)) {
            info.error = L"import directory outside the file";
            return info;
        }
        for (std::size_t i = 0; i < kMaxDescriptors; ++i, at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            IMAGE_IMPORT_DESCRIPTOR d{};
            if (!pe.Read(at, d)) {
                info.error = L"truncated import directory";
                return info;
            }
            if (!d.Name && !d.FirstThunk)
                break;
            std::size_t nameAt = 0;
            std::string name;
            if (!pe.RvaToOffset(d.Name, nameAt) || !pe.ReadString(nameAt, name)) {
                info.error = L"import name outside the file";
                return info;
            }
            info.imports.push_back(name);
        }
    }

    // Delay-load descriptors: 8 DWORDs; bit 0 of the first says the addresses are RVAs, otherwise (old linkers)
    // they are virtual addresses. The table ends at a zero entry or at the directory's size, whichever is first.
    constexpr std::size_t kDelayDescriptorSize = 8 * sizeof(DWORD);
    const IMAGE_DATA_DIRECTORY* delay = directoryCount > IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT
                                            ? &directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT]
                                            : nullptr;
    if (delay && delay->VirtualAddress) {
        std::size_t at = 0;
        std::size_t count = std::min<std::size_t>(kMaxDescriptors, delay->Size / kDelayDescriptorSize);
        if (pe.RvaToOffset(delay->VirtualAddress, at)) {
            for (std::size_t i = 0; i < count; ++i, at += kDelayDescriptorSize) {
                DWORD attributes = 0, nameAddress = 0;
                if (!pe.Read(at, attributes) || !pe.Read(at + sizeof(DWORD), nameAddress) || !nameAddress)
                    break;
                std::uint64_t rva = (attributes & 1) ? nameAddress : nameAddress - imageBase;
                std::size_t nameAt = 0;
                std::string name;
                if (pe.RvaToOffset(rva, nameAt) && pe.ReadString(nameAt, name))
                    info.delayImports.push_back(name);
            }
        }
    }
    return info;
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
    std::fprintf(stderr, "usage: StartupBench LAUNCHER.exe BASELINE.exe [PAIRS]   (PAIRS: at least %d, default %d)\n",
                 kMinPairs, kDefaultPairs);
}

void PrintJoined(const char* label, const std::vector<std::string>& names) {
    std::printf("  %-21s", label);
    if (names.empty())
        std::printf("none");
    for (std::size_t i = 0; i < names.size(); ++i)
        std::printf("%s%s", i ? ", " : "", names[i].c_str());
    std::printf("\n");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 4) {
        PrintUsage();
        return kExitUsage;
    }
    int pairs = kDefaultPairs;
    if (argc == 4) {
        wchar_t* end = nullptr;
        long value = std::wcstol(argv[3], &end, 10);
        if (!*argv[3] || *end || value < kMinPairs || value > 1000) {
            PrintUsage();
            return kExitUsage;
        }
        pairs = static_cast<int>(value);
    }
    Program launcher{"launcher", FullPath(argv[1]), L"", {}};
    Program baseline{"baseline", FullPath(argv[2]), L"", {}};
    for (Program* p : {&launcher, &baseline}) {
        if (!FileExists(p->exe)) {
            std::fprintf(stderr, "StartupBench: %s exe not found: %s\n", p->label, Utf8(p->exe).c_str());
            return kExitUsage;
        }
        p->directory = DirectoryOf(p->exe);
    }

    ImageInfo image = ReadImageInfo(launcher.exe);
    if (!image.error.empty()) {
        std::fprintf(stderr, "StartupBench: %s: %s\n", Utf8(launcher.exe).c_str(), Utf8(image.error).c_str());
        return kExitRunFailed;
    }

    // Millisecond sleeps while polling for the window, rather than the default 15.6 ms tick on Windows.
    timeBeginPeriod(1);
    Stopwatch clock;
    bool ok = RunAndRecord(clock, launcher, false) && RunAndRecord(clock, baseline, false);
    std::vector<double> ratios;
    for (int i = 0; ok && i < pairs; ++i) {
        // Alternate the order so a slow drift of the machine falls on both programs alike.
        Program& first = i % 2 == 0 ? launcher : baseline;
        Program& second = i % 2 == 0 ? baseline : launcher;
        ok = RunAndRecord(clock, first, true) && RunAndRecord(clock, second, true);
        if (ok)
            ratios.push_back(launcher.ms.back() / baseline.ms.back());
    }
    timeEndPeriod(1);
    if (!ok)
        return kExitRunFailed;

    std::printf("QXLauncher start-up benchmark\n");
    std::printf("  launcher: %s\n", Utf8(launcher.exe).c_str());
    std::printf("  baseline: %s\n", Utf8(baseline.exe).c_str());
    std::printf("  %d pairs after one warm-up run of each; time from CreateProcessW until idle with a visible "
                "window\n\n",
                pairs);
    std::printf("  pair  first      launcher ms  baseline ms  ratio\n");
    for (int i = 0; i < pairs; ++i)
        std::printf("  %4d  %-9s  %11.1f  %11.1f  %5.2f\n", i + 1, i % 2 == 0 ? "launcher" : "baseline", launcher.ms[i],
                    baseline.ms[i], ratios[i]);
    std::printf("\n");

    double ratio = Median(ratios);
    for (const Program* p : {&launcher, &baseline})
        std::printf("  %-8s median %8.1f ms   (min %.1f, max %.1f)\n", p->label, Median(p->ms),
                    *std::min_element(p->ms.begin(), p->ms.end()), *std::max_element(p->ms.begin(), p->ms.end()));
    std::printf("  ratio launcher/baseline, median of per-pair ratios: %.2f\n", ratio);
    std::printf("  target ratio <= %.1f: %s\n\n", kRatioTarget, ratio <= kRatioTarget ? "PASS" : "FAIL");

    bool sizeOk = image.size <= kSizeTargetKb * 1024;
    std::printf("  launcher size: %llu bytes (%.1f KB), %s\n", static_cast<unsigned long long>(image.size),
                static_cast<double>(image.size) / 1024.0, image.format.c_str());
    std::printf("  target size <= %llu KB: %s\n\n", static_cast<unsigned long long>(kSizeTargetKb),
                sizeOk ? "PASS" : "FAIL");

    PrintJoined("launcher imports:", image.imports);
    if (!image.delayImports.empty())
        PrintJoined("delay-loaded imports:", image.delayImports);

    for (const Program* p : {&launcher, &baseline}) {
        if (p->waitedForWindow)
            std::printf("  note: %s was idle before its window was visible in %d run(s); the wait was counted\n",
                        p->label, p->waitedForWindow);
        if (p->terminated)
            std::printf("  note: %s did not close on WM_CLOSE within 5 s in %d run(s) and was terminated\n", p->label,
                        p->terminated);
    }
    return kExitReport;
}
