// The main window's size rule: fixed size when every monitor's work area holds 1010 x 670.
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

// The main area's height for a page that asks for page_height: never below kMainAreaHeight,
// and no more than the smallest work area leaves once frame pixels (the window's border and
// decorations, the scroll area's frame) are taken off, so that the window never grows taller
// than a screen; a page taller than that scrolls.
int main_area_height(int page_height, const std::vector<WorkArea>& areas, int frame);
