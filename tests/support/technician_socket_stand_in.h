// The technician socket of a remote-access server for one session, in this process: a thread
// logs a program in (relay steps on the simulated device, over a loopback connection), takes
// the technician's records to it and hands the program's bytes back, sending keep-alives as a
// server does. The simulator belongs to that thread until stop().
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

class TechnicianSocketStandIn {
   public:
    struct Faults {
        // The program stops (ends its session) once this many command bytes reached it.
        size_t stop_after = SIZE_MAX;
        // Sent to the technician in place of the program's first answer after this many.
        std::string garbage;
        int garbage_after_answers = 0;
    };
    TechnicianSocketStandIn(std::string folder, std::string code, Faults faults);
    ~TechnicianSocketStandIn() { stop(); }
    TechnicianSocketStandIn(const TechnicianSocketStandIn&) = delete;
    TechnicianSocketStandIn& operator=(const TechnicianSocketStandIn&) = delete;

    const std::string& path() const { return path_; }
    // Ends the session and waits for the thread; the simulator is the caller's again.
    void stop();
    // Whether the program was still logged in when the technician left.
    bool program_stayed() const { return program_stayed_; }

   private:
    void serve();
    void relay(int technician);

    std::string path_;
    std::string code_;
    Faults faults_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    bool program_stayed_ = false;
    std::thread thread_;
};
