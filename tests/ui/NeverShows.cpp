// Stands in for a launcher that hangs before its window appears: it shows nothing and never ends.
#include <windows.h>

int main() {
    for (;;)
        Sleep(INFINITE);
}
