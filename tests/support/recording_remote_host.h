// The window's side of a relay step, for tests: what the relay shows is recorded, and waits
// cost no time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/language.h"
#include "remote/remote_session.h"

class RecordingRemoteHost : public RemoteHost {
   public:
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    int ended = 0;
    int pauses = 0;
    std::function<void()> during_pause;  // the user, once, while events are served

    void show_status(const std::string& text) override { statuses.push_back(text); }
    void show_message(const std::string& text) override { messages.push_back(text); }
    void pause(int) override { serve(); }
    void process_events() override { serve(); }
    void session_ended() override { ++ended; }
    bool reconnect_wanted() override { return false; }
    void reconnect() override {}
    int language() const override { return kEnglish; }

   private:
    void serve() {
        ++pauses;
        if (during_pause) {
            const auto action = std::move(during_pause);
            during_pause = nullptr;
            action();
        }
    }
};
