// A test program that dies mid-test, for the kit runner's test: it changes the game's keys as a test does, then ends
// as a crash does, with no report. With QX_KIT_CRASHER_WAIT set it waits instead, to be ended from outside.
#include "../store/TestRegistry.h"

#include <windows.h>

int main() {
    testreg::DeleteTree("Software\\ORIM");
    testreg::SetDword("Software\\ORIM\\Crashed", "pid", static_cast<std::int32_t>(GetCurrentProcessId()));
    if (GetEnvironmentVariableW(L"QX_KIT_CRASHER_WAIT", nullptr, 0) > 0)
        Sleep(INFINITE);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
}
