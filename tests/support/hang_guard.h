// A time bound inside a test for code that might never return: past the bound the whole test
// program stops with a message, so a hang is a failing test rather than a stuck CI job.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class HangGuard {
   public:
    HangGuard(std::chrono::seconds bound, std::string what)
        : what_(std::move(what)), watcher_([this, bound] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_cv_.wait_for(lock, bound, [this] { return done_; })) {
                  std::fprintf(stderr, "HANG: %s did not end within %lld s\n", what_.c_str(),
                               static_cast<long long>(bound.count()));
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~HangGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_one();
        watcher_.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

   private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread watcher_;
};
