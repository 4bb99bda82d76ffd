// A flash host that shows nothing and offers its file once, then none: for runs that judge
// only what reaches the device (the interruption sweep, the flash benchmark).
#pragma once

#include <string>
#include <utility>

#include "app/language.h"
#include "firmware/flasher.h"

class QuietFlashHost : public FlashHost {
   public:
    explicit QuietFlashHost(std::string path = {}) : file(std::move(path)) {}
    std::string file;
    int chosen = 0;
    std::string choose_file() override { return chosen++ == 0 ? file : std::string(); }
    void file_rejected(FileProblem, const std::string&) override {}
    void prepare() override {}
    void open_progress() override {}
    void set_progress_text(const std::string&) override {}
    void set_progress_fraction(double) override {}
    void set_progress_label(const std::string&) override {}
    void clear_firmware_labels() override {}
    void process_events() override {}
    int language() const override { return kEnglish; }
};
