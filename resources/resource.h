// Resource IDs shared by launcher.rc and the window code.
#pragma once

#define IDI_APP 1
#define IDR_BANNER 101
