#include "app/window_size_rule.h"

#include <algorithm>

bool fits_fixed_size(const std::vector<WorkArea>& areas) {
    int smallest_width = 10000;
    int smallest_height = 10000;
    for (const WorkArea& area : areas) {
        smallest_width = std::min(smallest_width, area.width);
        smallest_height = std::min(smallest_height, area.height);
    }
    return smallest_width > kMainAreaWidth - 1 && smallest_height > kMainAreaHeight - 1;
}
