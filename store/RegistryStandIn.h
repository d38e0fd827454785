// The in-memory registry behind the four calls on hosts without one, and what tests use to arrange and inspect it.
#pragma once

#ifndef _WIN32

#include "RegistryApi.h"

#include <optional>
#include <string>
#include <vector>

namespace standin {

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// One registry call as it reached the stand-in: which call, the key's full path, the value name, the result.
struct Call {
    enum Kind { Open, Query, Set, Close } kind;
    std::string keyPath;
    std::string valueName;
    LONG result;
};

void Reset(); // every root empty, no open handles, journal cleared

// Arranging and inspecting; paths are below `root` and may be nested ("A\B\C"). These do not touch the journal.
void CreateKey(HKEY root, const std::string& path);
void DeleteKey(HKEY root, const std::string& path);      // the key and everything below it
void DeleteEmptyKey(HKEY root, const std::string& path); // the key unless it has subkeys, as RegDeleteKey does
void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, std::vector<BYTE> bytes);
bool KeyExists(HKEY root, const std::string& path);
std::optional<StoredValue> GetValue(HKEY root, const std::string& path, const std::string& name);
int OpenHandleCount();

const std::vector<Call>& Journal();
void ClearJournal();

} // namespace standin

#endif
