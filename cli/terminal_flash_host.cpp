#include "cli/terminal_flash_host.h"

#include "cli/cli_format.h"

TerminalFlashHost::TerminalFlashHost(std::string path, std::FILE* out, bool terminal, bool quiet,
                                     int language)
    : path_(std::move(path)), out_(out), terminal_(terminal), quiet_(quiet), language_(language) {}

TerminalFlashHost::~TerminalFlashHost() {
    finish_line();
}

std::string TerminalFlashHost::choose_file() {
    if (offered_)
        return "";
    offered_ = true;
    return path_;
}

void TerminalFlashHost::file_rejected(FileProblem problem, const std::string&) {
    rejection_ = problem;
}

bool TerminalFlashHost::is_percentage(const std::string& text) const {
    return !text.empty() && text.back() == '%' && text.find(' ') == std::string::npos;
}

void TerminalFlashHost::set_progress_text(const std::string& text) {
    // The flasher renews the text every thousandth; a log needs a line only per percent.
    if (quiet_ || text == last_text_)
        return;
    last_text_ = text;
    if (!is_percentage(text)) {
        print_line(text);
    } else if (terminal_) {
        draw_bar();
    } else {
        print_line(text);
    }
}

void TerminalFlashHost::set_progress_fraction(double fraction) {
    fraction_ = fraction;
    if (!quiet_ && terminal_ && bar_open_)
        draw_bar();
}

void TerminalFlashHost::set_progress_label(const std::string& text) {
    if (!quiet_)
        print_line(text);
}

void TerminalFlashHost::print_line(const std::string& text) {
    finish_line();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TerminalFlashHost::draw_bar() {
    std::fprintf(out_, "\r%s", progress_bar_line(fraction_, last_text_, kBarWidth).c_str());
    std::fflush(out_);
    bar_open_ = true;
}

void TerminalFlashHost::finish_line() {
    if (!bar_open_)
        return;
    std::fputc('\n', out_);
    std::fflush(out_);
    bar_open_ = false;
}
