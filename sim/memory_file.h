// The demo keeps the device's parameter memory in a file, so a restart finds it as written.
#pragma once

#include <string>

#include "sim/sim_state.h"

namespace sim {

// The file holds the whole window as raw bytes. False (memory untouched) when the file is
// missing or not exactly one window long.
bool load_memory_file(const std::string& path, MemoryWindow& memory);
// Written beside the target and renamed over it, so a killed demo never leaves half a file.
bool save_memory_file(const std::string& path, const MemoryWindow& memory);

}  // namespace sim
