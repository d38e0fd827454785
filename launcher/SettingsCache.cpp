#include "SettingsCache.h"

#include "EditionProfile.h"
#include "Module1.h"

// Six reads in a fixed order: both display modes first, then the sizes edition by edition.
void SettingsCache::Load() {
    const char* chinese = kEditionProfiles[0].configKey;
    const char* japanese = kEditionProfiles[1].configKey;
    displayMode_[0] = GetKeyDword(kHkeyCurrentUser, chinese, "FULLSCREEN");
    displayMode_[1] = GetKeyDword(kHkeyCurrentUser, japanese, "FULLSCREEN");
    size_[0][kWidth] = GetKeyDword(kHkeyCurrentUser, chinese, "WIDTH");
    size_[0][kHeight] = GetKeyDword(kHkeyCurrentUser, chinese, "HEIGHT");
    size_[1][kWidth] = GetKeyDword(kHkeyCurrentUser, japanese, "WIDTH");
    size_[1][kHeight] = GetKeyDword(kHkeyCurrentUser, japanese, "HEIGHT");
}
