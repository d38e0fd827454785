// Stand-ins for Form1 and the operating system, so the launcher's logic runs natively and every effect it has on the
// window and the system can be inspected afterwards.
#pragma once

#include "FormControls.h"
#include "OperatingSystem.h"
#include "RegistryStandIn.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// Form1's four option buttons, two size fields and exit check box. Unlike the real window, selecting a button does
// not clear the other one of its group: the logic under test must set both itself, and tests arrange the groups
// by hand. Only calls that come through FormControls are recorded.
class FakeForm : public FormControls {
public:
    struct SetCall {
        enum Kind { Selected, Text } kind;
        Option option; // Selected
        bool selected; // Selected
        Field field;   // Text
        std::wstring text;
    };

    // Starts as Form1 does: Chinese edition, full screen, "1024" by "768", exit after start checked.
    FakeForm() {
        selected[static_cast<int>(Option::ZOP1)] = true;
        selected[static_cast<int>(Option::OP2)] = true;
    }

    bool IsSelected(Option option) const override { return selected[static_cast<int>(option)]; }
    void SetSelected(Option option, bool value) override {
        selected[static_cast<int>(option)] = value;
        setCalls.push_back({SetCall::Selected, option, value, Field::Text1, {}});
    }
    std::wstring GetText(Field field) const override { return field == Field::Text1 ? text1 : text2; }
    void SetText(Field field, const std::wstring& text) override {
        (field == Field::Text1 ? text1 : text2) = text;
        setCalls.push_back({SetCall::Text, Option::ZOP1, false, field, text});
    }
    int CkexitValue() const override { return ckexit; }

    // What the user does: these change the state without recording anything.
    void ChooseEdition(bool zop1, bool zop2) {
        selected[static_cast<int>(Option::ZOP1)] = zop1;
        selected[static_cast<int>(Option::Zop2)] = zop2;
    }
    void ChooseDisplayMode(bool op1, bool op2) {
        selected[static_cast<int>(Option::OP1)] = op1;
        selected[static_cast<int>(Option::OP2)] = op2;
    }

    bool selected[4] = {}; // indexed by Option
    std::wstring text1 = L"1024";
    std::wstring text2 = L"768";
    int ckexit = 1;
    std::vector<SetCall> setCalls;
};

// A file system holding exactly the files a test lists (matched by exact spelling, so the probed name is pinned; a
// relative name is looked for in the current directory, which a successful ChangeDirectory sets), process calls
// that fail with configurable codes, and a log of every call in order.
class FakeSystem : public OperatingSystem {
public:
    enum Kind {
        FileExistsCall,
        FullPathCall,
        ChangeDriveCall,
        ChangeDirectoryCall,
        StartProcessCall,
        ShellStartCall,
        ErrorTextCall,
        ShowErrorCall,
        ExitProgramCall
    };

    struct Call {
        Kind kind;
        // FileExists, FullPath, ChangeDirectory, StartProcess and ShellStart (program), ErrorText (subject),
        // ShowError (text)
        std::wstring path = {};
        std::wstring commandLine = {}; // StartProcess; ShellStart: its directory
        wchar_t drive = 0;             // ChangeDrive
        int showCommand = -1;          // StartProcess, ShellStart
        std::uint32_t error = 0;       // ErrorText
        // How many registry calls had been made when this call came: proves the order of store and system effects.
        std::size_t journalLength = 0;
    };

    bool FileExists(const std::wstring& path) override {
        Log({FileExistsCall, path});
        const bool relative = path.size() < 2 || (path[1] != L':' && path[0] != L'\\');
        return files.count(path) != 0 || (relative && files.count(currentDirectory + path) != 0);
    }
    std::wstring FullPath(const std::wstring& path) override {
        Log({FullPathCall, path});
        auto full = fullPaths.find(path);
        return full != fullPaths.end() ? full->second : path;
    }
    std::wstring StartupDirectory() override { return startupDirectory; }
    std::uint32_t ChangeDrive(wchar_t driveLetter) override {
        Call call{ChangeDriveCall};
        call.drive = driveLetter;
        Log(call);
        return changeDriveError;
    }
    std::uint32_t ChangeDirectory(const std::wstring& directory) override {
        Log({ChangeDirectoryCall, directory});
        if (!changeDirectoryError)
            currentDirectory = directory;
        return changeDirectoryError;
    }
    std::uint32_t StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                               int showCommand) override {
        Call call{StartProcessCall, applicationPath, commandLine};
        call.showCommand = showCommand;
        Log(call);
        return startProcessError;
    }
    std::uint32_t ShellStart(const std::wstring& path, const std::wstring& directory, int showCommand) override {
        Call call{ShellStartCall, path, directory};
        call.showCommand = showCommand;
        Log(call);
        return shellStartError;
    }
    std::wstring ErrorText(std::uint32_t error, const std::wstring& subject) override {
        Call call{ErrorTextCall, subject};
        call.error = error;
        Log(call);
        return ErrorTextFor(error);
    }
    void ShowError(const std::wstring& text) override { Log({ShowErrorCall, text}); }
    void ExitProgram() override { Log({ExitProgramCall}); }

    // Recognisable in a message, and different for every code.
    static std::wstring ErrorTextFor(std::uint32_t error) { return L"<system error " + std::to_wstring(error) + L">"; }

    std::vector<Kind> Kinds() const {
        std::vector<Kind> kinds;
        for (const Call& call : calls)
            kinds.push_back(call.kind);
        return kinds;
    }
    std::vector<Call> CallsOf(Kind kind) const {
        std::vector<Call> matching;
        for (const Call& call : calls)
            if (call.kind == kind)
                matching.push_back(call);
        return matching;
    }
    std::vector<std::wstring> Messages() const {
        std::vector<std::wstring> texts;
        for (const Call& call : CallsOf(ShowErrorCall))
            texts.push_back(call.path);
        return texts;
    }

    std::set<std::wstring> files;
    std::map<std::wstring, std::wstring> fullPaths; // what FullPath resolves; anything else comes back unchanged
    std::uint32_t changeDriveError = 0;
    std::uint32_t changeDirectoryError = 0;
    std::uint32_t startProcessError = 0;
    std::uint32_t shellStartError = 0;
    std::wstring startupDirectory = L"C:\\Launcher\\";
    std::wstring currentDirectory = startupDirectory;
    std::vector<Call> calls;

private:
    void Log(Call call) {
        call.journalLength = standin::Journal().size();
        calls.push_back(std::move(call));
    }
};
