// QXLauncher: pick the edition, display mode and resolution of Halvoren 12 QX, store them and start the game.
#include "Form1.h"
#include "SystemLibrary.h"
#include "Win32System.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything else is loaded or probed: no "There is no disk in the drive" box when a stored folder names an
    // empty drive (the launcher's own message follows), and DLLs from the system folder only.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
    NarrowDllSearch();
    Win32System os;
    Form1 form(os);
    if (!form.Create(instance))
        return 1;
    os.SetOwner(form.Hwnd());
    form.Load();
    form.Show(showCommand);
    return RunMessageLoop(form);
}
