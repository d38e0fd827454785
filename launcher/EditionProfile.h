// The two editions of the game installed side by side. Index 0 is the Chinese edition, 1 the Japanese one.
#pragma once

#include "FormControls.h"

struct EditionProfile {
    Option option;                // the edition button that selects it
    const wchar_t* optionCaption; // that button's caption
    const char* configKey;        // WIDTH, HEIGHT, FULLSCREEN
    const char* installKey;       // InstallInfo
    const wchar_t* probeName;     // looked for, and named in the missing-executable message
    const wchar_t* startName;     // started; differs from probeName in letter case only
};

constexpr int kEditionCount = 2;
extern const EditionProfile kEditionProfiles[kEditionCount];
