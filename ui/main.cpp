// QXLauncher: pick the edition, display mode and resolution of Halvoren 12 QX, store them and start the game.
#include "Form1.h"
#include "Win32System.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    PrepareProcess();
    Win32System os;
    Form1 form(os);
    if (!form.Create(instance))
        return 1;
    os.SetOwner(form.Hwnd());
    form.Load();
    form.Show(showCommand);
    return RunMessageLoop(form);
}
