// The flasher's host without a window: the file named on the command line, and the progress
// as a bar redrawn in place on a terminal or as plain lines for a log.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "firmware/flasher.h"

class TerminalFlashHost : public FlashHost {
   public:
    // out receives the progress; terminal selects the redrawn bar; quiet shows nothing.
    TerminalFlashHost(std::string path, std::FILE* out, bool terminal, bool quiet, int language);
    ~TerminalFlashHost() override;

    // The file is offered once: a second request means it was refused, and the flasher then
    // gives up instead of asking again.
    std::string choose_file() override;
    void file_rejected(FileProblem problem, const std::string& path) override;
    void prepare() override {}
    void open_progress() override {}
    void set_progress_text(const std::string& text) override;
    void set_progress_fraction(double fraction) override;
    void set_progress_label(const std::string& text) override;
    void clear_firmware_labels() override {}
    void process_events() override {}
    int language() const override { return language_; }

    const std::optional<FileProblem>& rejection() const { return rejection_; }
    // Ends a bar left on its line, so that a message after it starts on a line of its own.
    void finish_line();

   private:
    static constexpr int kBarWidth = 40;
    bool is_percentage(const std::string& text) const;
    void print_line(const std::string& text);
    void draw_bar();

    std::string path_;
    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    int language_;
    bool offered_ = false;
    std::optional<FileProblem> rejection_;
    std::string last_text_;
    double fraction_ = 0.0;
    bool bar_open_ = false;
};
