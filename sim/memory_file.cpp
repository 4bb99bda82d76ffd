#include "sim/memory_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace sim {

bool load_memory_file(const std::string& path, MemoryWindow& memory) {
    if (path.empty())
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() != memory.size())
        return false;
    for (size_t i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<uint8_t>(bytes[i]);
    return true;
}

bool save_memory_file(const std::string& path, const MemoryWindow& memory) {
    if (path.empty())
        return false;
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char*>(memory.data()),
                  static_cast<std::streamsize>(memory.size()));
        if (!out)
            return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace sim
