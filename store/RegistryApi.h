// The four ANSI registry entry points the store helpers are built on, and the ANSI decoding of text values.
// On Windows they are advapi32's own; elsewhere RegistryStandIn.cpp provides them over an in-memory tree that
// keeps Windows' semantics (error codes, case-insensitive names, opening never creates).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
typedef std::int32_t LONG;
typedef std::uint32_t DWORD;
typedef unsigned char BYTE;
typedef struct HKEY__* HKEY;

// Predefined roots are sign-extended 32-bit numbers, as in the Windows headers.
#define QX_PREDEFINED_ROOT(n) ((HKEY)(std::intptr_t)(std::int32_t)(n))
#define HKEY_CLASSES_ROOT QX_PREDEFINED_ROOT(0x80000000u)
#define HKEY_CURRENT_USER QX_PREDEFINED_ROOT(0x80000001u)
#define HKEY_LOCAL_MACHINE QX_PREDEFINED_ROOT(0x80000002u)
#define HKEY_USERS QX_PREDEFINED_ROOT(0x80000003u)

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_MORE_DATA 234L

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

LONG RegOpenKeyA(HKEY root, const char* subKey, HKEY* result);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegCloseKey(HKEY key);
#endif

// Text values cross the registry in the system's ANSI code page (on the stand-in: ISO-8859-1).
std::wstring DecodeAnsi(const char* bytes, std::size_t count);

// A root key passed as a 32-bit number, as the helpers take it, turned into a handle.
inline HKEY RootHandle(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(root)));
}
