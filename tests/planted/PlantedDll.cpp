// Planted under a system DLL's name where a careless load would find it. Loaded, it leaves "<its path>.loaded" and
// refuses to attach, so that nothing of it runs on.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    wchar_t path[MAX_PATH + 8] = {};
    if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameW(instance, path, MAX_PATH) < MAX_PATH)
        CloseHandle(CreateFileW(lstrcatW(path, L".loaded"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return reason != DLL_PROCESS_ATTACH;
}
