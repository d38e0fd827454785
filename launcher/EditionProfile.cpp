#include "EditionProfile.h"

// Both start names are used exactly as written: the Chinese edition's has a lower-case "qx".
const EditionProfile kEditionProfiles[kEditionCount] = {
    {Option::ZOP1, L"中文QX版", "Software\\ORIM\\Halvoren12QX Tc\\Configs", "Software\\ORIM\\Halvoren12QX Tc\\Install",
     L"HALV12QX.exe", L"HALV12qx.exe"},
    {Option::Zop2, L"日文QX版", "Software\\ORIM\\Halvoren12QX\\Configs", "Software\\ORIM\\Halvoren12QX\\Install",
     L"HALV12QX.exe", L"HALV12QX.exe"},
};
