#include "SaveAndLaunch.h"

#include "EditionProfile.h"
#include "Module1.h"
#include "ParseSize.h"

#include <optional>

namespace {

constexpr int kShowMinimized = 2; // SW_SHOWMINIMIZED: minimized, with focus

std::wstring Trimmed(const std::wstring& text) {
    auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

std::wstring OutOfRangeMessage(const wchar_t* fieldName, const std::wstring& text) {
    return std::wstring(fieldName) + L"“" + Trimmed(text) + L"”超出范围，请输入 -32768 到 32767 之间的数值。";
}

// "D:\Games\" names a drive; a network path ("\\server\share\") or a relative one does not.
bool StartsWithDriveLetter(const std::wstring& directory) {
    if (directory.size() < 2 || directory[1] != L':')
        return false;
    wchar_t c = directory[0];
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "D:\Games\" or "\\server\share\": the same place whatever the current drive and directory.
bool IsFullPath(const std::wstring& directory) {
    if (StartsWithDriveLetter(directory))
        return directory.size() > 2 && IsSeparator(directory[2]);
    return directory.size() > 1 && IsSeparator(directory[0]) && IsSeparator(directory[1]);
}

} // namespace

std::wstring MissingExecutableMessage(const std::wstring& probePath) {
    return L"找不到可运行的文件！" + probePath;
}

void SaveAndLaunch(FormControls& form, OperatingSystem& os) {
    const std::wstring widthText = form.GetText(Field::Text1);
    const std::wstring heightText = form.GetText(Field::Text2);
    const std::optional<std::int16_t> width = ParseSize(widthText);
    const std::optional<std::int16_t> height = ParseSize(heightText);
    // A size that does not fit 16 bits stops the click before anything is written; the user's text stays.
    if (!width) {
        os.ShowError(OutOfRangeMessage(L"宽度 W ", widthText));
        return;
    }
    if (!height) {
        os.ShowError(OutOfRangeMessage(L"高度 H ", heightText));
        return;
    }

    int edition;
    if (form.IsSelected(Option::ZOP1))
        edition = 0;
    else if (form.IsSelected(Option::Zop2))
        edition = 1;
    else
        return;
    const EditionProfile& profile = kEditionProfiles[edition];

    SetKeyDword(kHkeyCurrentUser, profile.configKey, "WIDTH", *width);
    SetKeyDword(kHkeyCurrentUser, profile.configKey, "HEIGHT", *height);
    if (form.IsSelected(Option::OP1))
        SetKeyDword(kHkeyCurrentUser, profile.configKey, "FULLSCREEN", 0);
    else if (form.IsSelected(Option::OP2))
        SetKeyDword(kHkeyCurrentUser, profile.configKey, "FULLSCREEN", 1);

    // The stored directory ends in a separator; names are appended directly. One given relative to the current
    // drive or directory ("Games\", "D:Games\") is resolved once, here: the directory change below would otherwise
    // move into it and the start would then look for the game relative to the new directory.
    std::wstring directory = GetKeyString(kHkeyCurrentUser, profile.installKey, "InstallInfo");
    if (!directory.empty() && !IsFullPath(directory))
        directory = os.FullPath(directory);
    // With none stored, the bare name is looked for where the launcher started: an earlier launch that left the
    // launcher open moved it into the other edition's folder, whose game has the same name. The message still
    // names the bare name, as that is all the installation told.
    const std::wstring folder = directory.empty() ? os.StartupDirectory() : directory;
    if (!os.FileExists(folder + profile.probeName)) {
        os.ShowError(MissingExecutableMessage(directory + profile.probeName));
        return;
    }

    if (!folder.empty()) {
        // Changing to "D:" alone moves to that drive's remembered directory, which may since have been deleted; the
        // full directory that follows sets the drive all the same, so only its own failure stops the launch.
        if (StartsWithDriveLetter(folder))
            os.ChangeDrive(folder[0]);
        if (std::uint32_t error = os.ChangeDirectory(folder)) {
            os.ShowError(L"无法进入游戏目录：" + folder + L"\n" + os.ErrorText(error, folder));
            return;
        }
    }
    // The application path is given explicitly, so a directory with blanks in it can never make the system run
    // another program; the game still receives the plain, unquoted command line.
    const std::wstring startPath = folder + profile.startName;
    std::uint32_t error = os.StartProcess(startPath, directory + profile.startName, kShowMinimized);
    // A game that needs administrator rights (its manifest, or "Run this program as an administrator") starts only
    // through the shell, which asks the player; a "no" there is the player's answer, not a failure to report.
    if (error == OperatingSystem::kErrorElevationRequired) {
        error = os.ShellStart(startPath, folder, kShowMinimized);
        if (error == OperatingSystem::kErrorCancelled)
            return;
    }
    if (error) {
        os.ShowError(L"无法启动游戏：" + startPath + L"\n" + os.ErrorText(error, startPath));
        return;
    }
    if (form.CkexitValue() == 1)
        os.ExitProgram();
}
