// Arranges and inspects registry state below HKEY_CURRENT_USER for tests, on whichever registry the build uses:
// the in-memory stand-in natively, the real registry (in a disposable Wine prefix) on Windows builds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testreg {

struct Raw {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

const char* BackendName();
void CreateKey(const std::string& path);
void DeleteTree(const std::string& path);
void DeleteKey(const std::string& path); // as RegDeleteKey: the key alone, and not while it has subkeys
void SetRaw(const std::string& path, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> bytes);
bool KeyExists(const std::string& path);
std::optional<Raw> Read(const std::string& path, const std::string& name);

// A text value as the game's installer stores it: the bytes and one terminating NUL.
inline void SetText(const std::string& path, const std::string& name, const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    SetRaw(path, name, 1 /* REG_SZ */, bytes);
}

// A text value as a program whose ANSI code page is `codePage` stores it with RegSetValueExA, as the game's installer
// does: the registry keeps the text those bytes mean in that code page, whatever the code page of this process.
void SetAnsiText(const std::string& path, const std::string& name, const std::string& bytes, unsigned codePage);

inline void SetDword(const std::string& path, const std::string& name, std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    SetRaw(path, name, 4 /* REG_DWORD */,
           {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)});
}

// A key of this test process's own below "Software\QXLauncher Tests", so parallel runs never meet.
std::string ProcessTestRoot();

// The key and everything below it, then its parent once no other key is left there: the last of the parallel runs
// to finish takes "Software\QXLauncher Tests" with it.
inline void DeleteTreeAndEmptyParent(const std::string& path) {
    DeleteTree(path);
    const auto slash = path.rfind('\\');
    if (slash != std::string::npos)
        DeleteKey(path.substr(0, slash));
}

} // namespace testreg
