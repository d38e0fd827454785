// Registry value helpers: the program's only access to the game's stored settings. Each call opens its key, does
// one value operation and closes the key again; none ever creates a key. Failures fall back to empty text, 0 or no
// write, and leave the last registry result in RegStatus.
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
constexpr std::int32_t ERR_EMPTY_KEY = -1002;

// Result of the most recent registry call: 0, a registry error code, or ERR_EMPTY_KEY.
extern std::int32_t RegStatus;

std::wstring GetKeyString(std::uint32_t root, const std::string& keyPath, const std::string& valueName);
std::int32_t GetKeyDword(std::uint32_t root, const std::string& keyPath, const std::string& valueName);
void SetKeyDword(std::uint32_t root, const std::string& keyPath, const std::string& valueName, std::int32_t value);
