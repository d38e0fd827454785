#include "TestRegistry.h"

#include <windows.h>

namespace testreg {

const char* BackendName() {
    return "Windows registry";
}

void CreateKey(const std::string& path) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

// The subkeys first, then the key: RegDeleteTreeA (Vista) would keep the test kit's programs off XP, and shlwapi's
// SHDeleteKeyA brings shcore into the process, which the window tests must load themselves.
void DeleteTree(const std::string& path) {
    std::vector<std::string> subkeys;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
            subkeys.push_back(path + "\\" + name);
        RegCloseKey(key);
    }
    for (const auto& subkey : subkeys)
        DeleteTree(subkey);
    DeleteKey(path);
}

void DeleteKey(const std::string& path) {
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

void SetRaw(const std::string& path, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> bytes) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    // A text value whose next byte is a NUL gets that NUL counted in; a non-zero guard keeps the bytes exact.
    const DWORD size = static_cast<DWORD>(bytes.size());
    bytes.push_back(0xFF);
    RegSetValueExA(key, name.c_str(), 0, type, bytes.data(), size);
    RegCloseKey(key);
}

// RegSetValueExA decodes text from the caller's code page and the registry keeps it as UTF-16: decoding the bytes
// from the installer's code page and storing them with RegSetValueExW leaves exactly what that installer leaves.
void SetAnsiText(const std::string& path, const std::string& name, const std::string& bytes, unsigned codePage) {
    const std::string terminated = bytes + '\0';
    const int length =
        MultiByteToWideChar(codePage, 0, terminated.data(), static_cast<int>(terminated.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, terminated.data(), static_cast<int>(terminated.size()), text.data(), length);
    const std::wstring wideName(name.begin(), name.end()); // value names are plain ASCII
    HKEY key;
    if (length == 0 || RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                       nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<Raw> Read(const std::string& path, const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<Raw> raw;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<std::uint8_t> bytes(size);
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, bytes.data(), &size) == ERROR_SUCCESS) {
            bytes.resize(size);
            raw = Raw{type, bytes};
        }
    }
    RegCloseKey(key);
    return raw;
}

std::string ProcessTestRoot() {
    return "Software\\QXLauncher Tests\\" + std::to_string(GetCurrentProcessId());
}

} // namespace testreg
