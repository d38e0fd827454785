// DLLs from the system folder only. On Windows XP to 7 a DLL missing from the system folder (shcore) is otherwise
// looked for beside the exe (typically Downloads), in the current folder and along PATH, and under Wine a bare name
// can take a DLL from the exe's folder: a planted DLL would run inside the launcher.
#pragma once

#include <windows.h>

// A system DLL by its full path in the system folder; null where the system has no such DLL.
HMODULE LoadSystemLibrary(const wchar_t* name);

// First thing at start: the current folder leaves the DLL search (XP SP1 on) and, where the system can (Windows 8 on,
// 7 with its update, Wine), the default search is the system folder alone, for the DLLs that system code loads on
// the launcher's behalf too (the image decoder's).
void NarrowDllSearch();
