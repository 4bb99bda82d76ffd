#include "sim/environment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/sim_state.h"

namespace sim {
namespace {

bool g_environment_settled = false;  // applied once, or a test took over with reset()

constexpr size_t kMaxStatusSequence = 64;

bool parse_number(const char* text, unsigned long max, unsigned long& out) {
    if (!text || *text < '0' || *text > '9')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > max)
        return false;
    out = value;
    return true;
}

bool parse_product(const std::string& text, DemoSettings& settings) {
    struct Choice {
        const char* name;
        Product product;
    };
    static const Choice kChoices[] = {
        {"long", Product::programmer_long}, {"short", Product::programmer_short},
        {"usbic", Product::usbic_short},    {"bootloader", Product::bootloader},
        {"unknown", Product::unknown},
    };
    if (text == "none") {
        settings.plugged = false;
        return true;
    }
    for (const Choice& choice : kChoices) {
        if (text == choice.name) {
            settings.product = choice.product;
            return true;
        }
    }
    return false;
}

void parse_sub_version(const std::string& text, DemoSettings& settings) {
    if (text == "silent") {
        settings.sub_version_silent = true;
        return;
    }
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return;
    unsigned long a = 0;
    unsigned long b = 0;
    if (parse_number(text.substr(0, comma).c_str(), 255, a) &&
        parse_number(text.substr(comma + 1).c_str(), 255, b)) {
        settings.sub_version_a = static_cast<uint8_t>(a);
        settings.sub_version_b = static_cast<uint8_t>(b);
    }
}

void parse_flag(const char* text, bool& flag) {
    if (!text)
        return;
    if (std::strcmp(text, "1") == 0)
        flag = true;
    if (std::strcmp(text, "0") == 0)
        flag = false;
}

}  // namespace

DemoSettings read_demo_settings(const EnvironmentLookup& lookup) {
    const FirmwareSettings healthy;
    DemoSettings settings;
    settings.type_code = healthy.type_code;
    settings.firmware_number = healthy.firmware_number;
    settings.sub_version_a = healthy.sub_version_a;
    settings.sub_version_b = healthy.sub_version_b;
    settings.status_sequence = healthy.status_sequence;

    if (const char* product = lookup("QN718_SIM_PRODUCT"))
        parse_product(product, settings);
    unsigned long number = 0;
    if (parse_number(lookup("QN718_SIM_TYPE"), 0xFFFF, number)) {
        settings.type_code = static_cast<uint16_t>(number);
    }
    if (parse_number(lookup("QN718_SIM_FIRMWARE"), 0xFFFF, number)) {
        settings.firmware_number = static_cast<uint16_t>(number);
    }
    if (const char* sub_version = lookup("QN718_SIM_SUBVERSION")) {
        parse_sub_version(sub_version, settings);
    }
    if (const char* status = lookup("QN718_SIM_STATUS")) {
        const size_t length = std::strlen(status);
        if (length > 0 && length <= kMaxStatusSequence)
            settings.status_sequence = status;
    }
    if (const char* memory_file = lookup("QN718_SIM_MEMORY_FILE")) {
        settings.memory_file = memory_file;
    } else if (const char* home = lookup("HOME"); home && *home) {
        settings.memory_file = std::string(home) + "/.qn718-sim-memory";
    }
    if (const char* trace_file = lookup("QN718_SIM_TRACE_FILE"))
        settings.trace_file = trace_file;
    parse_flag(lookup("QN718_SIM_MOTION"), settings.live_motion);
    parse_flag(lookup("QN718_SIM_LOG_LINES"), settings.log_lines);
    return settings;
}

void apply_demo_settings(const DemoSettings& settings) {
    set_real_timeouts(true);
    set_bootloader_report_interval_us(1000);
    set_product(settings.product);
    plug(settings.plugged);
    set_device_type(settings.type_code);
    set_firmware_number(settings.firmware_number);
    set_sub_version(settings.sub_version_a, settings.sub_version_b);
    set_sub_version_silent(settings.sub_version_silent);
    set_status_sequence(settings.status_sequence);
    set_live_motion(settings.live_motion);
    state().firmware.log_lines = settings.log_lines;
    set_memory_file(settings.memory_file);
    set_trace_file(settings.trace_file);
}

void apply_environment_once() {
    if (g_environment_settled)
        return;
    g_environment_settled = true;
    apply_demo_settings(read_demo_settings([](const char* name) { return std::getenv(name); }));
}

void forgo_environment() {
    g_environment_settled = true;
}

}  // namespace sim
