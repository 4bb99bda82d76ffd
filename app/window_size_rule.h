// The main window's size rule: fixed 1010 x 670 when every monitor's work area holds it.
#pragma once

#include <vector>

struct WorkArea {
    int width;
    int height;
};

constexpr int kMainAreaWidth = 1010;
constexpr int kMainAreaHeight = 670;

// True when the smallest work-area width is above 1009 and the smallest height above 669.
bool fits_fixed_size(const std::vector<WorkArea>& areas);
