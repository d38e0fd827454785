#include "ShowEditionSettings.h"

#include "DecimalText.h"
#include "EditionProfile.h"

#include <string>

void ShowEditionSettings(FormControls& form, const SettingsCache& cache, int edition) {
    // Display modes other than 0 and 1 have no button; the user's choice stays.
    switch (cache.DisplayMode(edition)) {
    case 0:
        form.SetSelected(Option::OP1, true);
        form.SetSelected(Option::OP2, false);
        break;
    case 1:
        form.SetSelected(Option::OP1, false);
        form.SetSelected(Option::OP2, true);
        break;
    default:
        break;
    }
    form.SetText(Field::Text1, DecimalText(cache.Width(edition)));
    form.SetText(Field::Text2, DecimalText(cache.Height(edition)));
}

void OnEditionButtonClick(FormControls& form, const SettingsCache& cache, int edition) {
    if (form.IsSelected(kEditionProfiles[edition].option))
        ShowEditionSettings(form, cache, edition);
}
