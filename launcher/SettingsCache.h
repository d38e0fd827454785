// The stored display settings of both editions, read once when the window loads and never refreshed.
#pragma once

#include <cstdint>

class SettingsCache {
public:
    enum Dimension { kWidth = 0, kHeight = 1 };

    void Load(); // six reads, missing values as 0

    std::int32_t DisplayMode(int edition) const { return displayMode_[edition]; }
    std::int32_t Width(int edition) const { return size_[edition][kWidth]; }
    std::int32_t Height(int edition) const { return size_[edition][kHeight]; }

private:
    std::int32_t displayMode_[2] = {};
    std::int32_t size_[2][2] = {};
};
