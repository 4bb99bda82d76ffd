#include "platform/processes.h"

#include <dirent.h>
#include <limits.h>
#include <spawn.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>

extern char** environ;

namespace {

constexpr size_t kMaxProcesses = 4096;

std::vector<std::string> split_command_line(const std::string& command_line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool in_word = false;
    for (const char c : command_line) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (c == ' ' && !quoted) {
            if (in_word)
                words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word.push_back(c);
            in_word = true;
        }
    }
    if (in_word)
        words.push_back(word);
    return words;
}

}  // namespace

std::vector<RunningProgram> running_programs() {
    std::vector<RunningProgram> programs;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc)
        return programs;
    size_t seen = 0;
    while (dirent* entry = readdir(proc.get())) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        if (++seen > kMaxProcesses)
            break;
        const std::string link = std::string("/proc/") + entry->d_name + "/exe";
        char target[PATH_MAX];
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0)
            continue;  // not ours to inspect, or gone
        std::string path(target, static_cast<size_t>(length));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
            path.erase(path.size() - deleted.size());
        }
        programs.push_back({std::atoi(entry->d_name), path.substr(path.find_last_of('/') + 1)});
    }
    return programs;
}

int parent_process_id() {
    return static_cast<int>(getppid());
}

bool start_process(const std::string& command_line) {
    std::vector<std::string> words = split_command_line(command_line);
    if (words.empty())
        return false;
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
}

void exit_program(int code) {
    std::exit(code);
}
