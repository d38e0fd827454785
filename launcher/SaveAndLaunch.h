// The click of "启动游戏": store the chosen settings for the selected edition and start its executable.
#pragma once

#include "FormControls.h"
#include "OperatingSystem.h"

#include <string>

void SaveAndLaunch(FormControls& form, OperatingSystem& os);

// The text shown when the edition's executable is not where its installation says.
std::wstring MissingExecutableMessage(const std::wstring& probePath);
