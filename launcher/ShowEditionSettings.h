// Putting one edition's cached settings into the window.
#pragma once

#include "FormControls.h"
#include "SettingsCache.h"

void ShowEditionSettings(FormControls& form, const SettingsCache& cache, int edition);

// The clicks of ZOP1 and Zop2: show that edition, but only if its button is selected at that moment.
void OnEditionButtonClick(FormControls& form, const SettingsCache& cache, int edition);
