#include "app/single_instance.h"

#include "app/language.h"
#include "app/widget_kit.h"
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

void enforce_single_instance(const char* program_path) {
    if (!program_path)
        return;
    // A copy that restarts itself (another language) starts this one and then ends; still
    // running for a moment as our parent, it is not a second instance.
    std::vector<std::string> names;
    const int parent = parent_process_id();
    for (const RunningProgram& program : running_programs()) {
        if (program.pid != parent)
            names.push_back(program.name);
    }
    if (!another_copy_running(names, program_file_name(program_path)))
        return;
    show_message(lang_text(62));
    wait_for_message_slot_empty(50);
    exit_program(1);
}
