#include "app/window_size_rule.h"

#include <algorithm>

namespace {

constexpr int kNoMonitor = 10000;

WorkArea smallest_area(const std::vector<WorkArea>& areas) {
    WorkArea smallest{kNoMonitor, kNoMonitor};
    for (const WorkArea& area : areas) {
        smallest.width = std::min(smallest.width, area.width);
        smallest.height = std::min(smallest.height, area.height);
    }
    return smallest;
}

}  // namespace

bool fits_fixed_size(const std::vector<WorkArea>& areas) {
    const WorkArea smallest = smallest_area(areas);
    return smallest.width > kMainAreaWidth - 1 && smallest.height > kMainAreaHeight - 1;
}

int main_area_height(int page_height, const std::vector<WorkArea>& areas, int frame) {
    const int room = smallest_area(areas).height - frame;
    return std::max(kMainAreaHeight, std::min(page_height, room));
}
