// The monitors' work areas, which decide the main window's size.
#pragma once

#include <vector>

#include "app/window_size_rule.h"

// Work areas of every monitor of the default screen (GDK).
std::vector<WorkArea> monitor_work_areas();
