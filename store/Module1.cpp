#include "Module1.h"

#include "RegistryApi.h"

#include <algorithm>
#include <cstring>
#include <vector>

std::int32_t RegStatus = 0;

namespace {

// A key opened by one helper call. Close() hands back the close result, which becomes RegStatus; should a helper
// ever leave early, the destructor still closes the key.
class ScopedKey {
public:
    ScopedKey() = default;
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() {
        if (open_)
            RegCloseKey(key_);
    }

    LONG Open(std::uint32_t root, const std::string& keyPath) {
        LONG result = RegOpenKeyA(RootHandle(root), keyPath.c_str(), &key_);
        open_ = result == ERROR_SUCCESS;
        return result;
    }
    LONG Close() {
        open_ = false;
        return RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
    bool open_ = false;
};

} // namespace

std::wstring GetKeyString(std::uint32_t root, const std::string& keyPath, const std::string& valueName) {
    RegStatus = 0;
    std::wstring text;
    if (keyPath.empty()) {
        RegStatus = ERR_EMPTY_KEY;
        return text;
    }
    ScopedKey key;
    RegStatus = key.Open(root, keyPath);
    if (RegStatus != ERROR_SUCCESS)
        return text;

    // Size probe: a zero capacity over a scratch slot; only the size it reports matters.
    DWORD type = 0;
    BYTE scratch[4] = {};
    DWORD size = 0;
    RegStatus = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, scratch, &size);
    if (size < 2) {
        RegStatus = key.Close();
        return text;
    }

    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, ' ');
    RegStatus =
        RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (RegStatus == ERROR_SUCCESS) {
        // The last stored byte is the terminating NUL and is dropped, whether or not it is one.
        std::size_t length = std::min<std::size_t>(size > 0 ? size - 1 : 0, buffer.size());
        text = DecodeAnsi(buffer.data(), length);
    }
    RegStatus = key.Close();
    return text;
}

std::int32_t GetKeyDword(std::uint32_t root, const std::string& keyPath, const std::string& valueName) {
    RegStatus = 0;
    std::int32_t result = 0;
    if (keyPath.empty()) {
        RegStatus = ERR_EMPTY_KEY;
        return result;
    }
    ScopedKey key;
    RegStatus = key.Open(root, keyPath);
    if (RegStatus != ERROR_SUCCESS)
        return result;

    // A shorter value fills only the low-order bytes; a longer one fails and leaves 0.
    BYTE slot[4] = {};
    DWORD size = sizeof slot;
    DWORD type = REG_DWORD;
    RegStatus = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, slot, &size);
    if (RegStatus == ERROR_SUCCESS) {
        std::uint32_t bits = static_cast<std::uint32_t>(slot[0]) | static_cast<std::uint32_t>(slot[1]) << 8 |
                             static_cast<std::uint32_t>(slot[2]) << 16 | static_cast<std::uint32_t>(slot[3]) << 24;
        std::memcpy(&result, &bits, sizeof result);
    }
    RegStatus = key.Close();
    return result;
}

void SetKeyDword(std::uint32_t root, const std::string& keyPath, const std::string& valueName, std::int32_t value) {
    RegStatus = 0;
    if (keyPath.empty()) {
        RegStatus = ERR_EMPTY_KEY;
        return;
    }
    ScopedKey key;
    RegStatus = key.Open(root, keyPath);
    if (RegStatus != ERROR_SUCCESS)
        return; // the key is never created

    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const BYTE bytes[4] = {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8), static_cast<BYTE>(bits >> 16),
                           static_cast<BYTE>(bits >> 24)};
    RegStatus = RegSetValueExA(key.get(), valueName.c_str(), 0, REG_DWORD, bytes, sizeof bytes);
    RegStatus = key.Close();
}
