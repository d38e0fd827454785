// A test program that changes the game's keys as a test does, for the kit's own tests. It marks that it ran
// (Software\ORIM\Crashed, "pid"), waits for the event QX_KIT_CRASHER_GO names if any (10 s at most), then, as
// QX_KIT_CRASHER says: "pass" passes, "wait" starts a child that marks it runs ("child") and waits, and waits to be
// ended from outside, anything else dies as a crash does, with no report.
#include "../store/TestRegistry.h"
#include "GameKeys_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

TEST(KitCrasher, ChangesTheGameKeys) {
    const auto pid = static_cast<std::int32_t>(GetCurrentProcessId());
    wchar_t text[64] = {};
    if (GetEnvironmentVariableW(L"QX_KIT_CRASHER_CHILD", text, 64) > 0) {
        testreg::SetDword("Software\\ORIM\\Crashed", "child", pid);
        Sleep(INFINITE);
    }
    testreg::DeleteTree("Software\\ORIM");
    testreg::SetDword("Software\\ORIM\\Crashed", "pid", pid);
    if (GetEnvironmentVariableW(L"QX_KIT_CRASHER_GO", text, 64) > 0) {
        if (HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, text)) {
            WaitForSingleObject(go, 10000);
            CloseHandle(go);
        }
    }
    text[0] = L'\0';
    GetEnvironmentVariableW(L"QX_KIT_CRASHER", text, 64);
    if (std::wstring(text) == L"pass")
        return;
    if (std::wstring(text) == L"wait") {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line = L"\"" + std::wstring(self) + L"\"";
        SetEnvironmentVariableW(L"QX_KIT_CRASHER_CHILD", L"1");
        gamekeys::Guard().Hold(); // the child leaves the keys to this process
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        if (CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
        Sleep(INFINITE);
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
}
