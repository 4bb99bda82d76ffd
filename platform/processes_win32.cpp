#include "platform/processes.h"

#include "platform/utf16_win32.h"

#include <tlhelp32.h>

#include <cstdlib>

namespace {

constexpr size_t kMaxProcesses = 4096;

}  // namespace

std::vector<RunningProgram> running_programs() {
    std::vector<RunningProgram> programs;
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid())
        return programs;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry);
         more && programs.size() < kMaxProcesses; more = Process32NextW(snapshot.get(), &entry)) {
        const std::string name = to_utf8(entry.szExeFile);
        programs.push_back(
            {static_cast<int>(entry.th32ProcessID), name.substr(name.find_last_of("/\\") + 1)});
    }
    return programs;
}

int parent_process_id() {
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid())
        return 0;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self)
            return static_cast<int>(entry.th32ParentProcessID);
    }
    return 0;
}

bool start_process(const std::string& command_line) {
    // The new program splits its own command line; quotes are passed on as they are.
    std::wstring line = to_utf16(command_line);
    if (line.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

void exit_program(int code) {
    std::exit(code);
}
