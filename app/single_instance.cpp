#include "app/single_instance.h"

#include "platform/processes.h"

std::string program_file_name(const std::string& program_path) {
    const size_t slash = program_path.find_last_of("\\/");
    return slash == std::string::npos ? program_path : program_path.substr(slash + 1);
}

bool another_copy_running(const std::vector<std::string>& running_names,
                          const std::string& own_name) {
    if (own_name.empty())
        return false;
    int matches = 0;
    for (const std::string& name : running_names) {
        if (name.find(own_name) != std::string::npos && ++matches == 2)
            return true;
    }
    return false;
}

bool other_copy_running(const char* program_path) {
    if (!program_path)
        return false;
    std::vector<std::string> names;
    const int parent = parent_process_id();
    for (const RunningProgram& program : running_programs()) {
        if (program.pid != parent)
            names.push_back(program.name);
    }
    return another_copy_running(names, program_file_name(program_path));
}
