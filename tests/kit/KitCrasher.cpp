// A test program that changes the game's keys as a test does, for the kit's own tests. It marks that it ran
// (Software\ORIM\Crashed, "pid"), waits for the event QX_KIT_CRASHER_GO names if any (10 s at most), then, as
// QX_KIT_CRASHER says: "pass" passes, "wait" waits to be ended from outside, anything else dies as a crash does,
// with no report.
#include "../store/TestRegistry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

TEST(KitCrasher, ChangesTheGameKeys) {
    testreg::DeleteTree("Software\\ORIM");
    testreg::SetDword("Software\\ORIM\\Crashed", "pid", static_cast<std::int32_t>(GetCurrentProcessId()));
    wchar_t text[64] = {};
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
    if (std::wstring(text) == L"wait")
        Sleep(INFINITE);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
}
