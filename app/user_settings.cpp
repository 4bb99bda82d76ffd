#include "app/user_settings.h"

#include "platform/files.h"
#include "platform/profile_folder.h"

namespace {

// Reads the NUL-terminated string at pos; one that runs past the end is taken up to the end.
std::string next_string(const std::string& bytes, size_t& pos) {
    if (pos >= bytes.size())
        return {};
    size_t end = bytes.find('\0', pos);
    if (end == std::string::npos)
        end = bytes.size();
    std::string text = bytes.substr(pos, end - pos);
    pos = end + 1;
    return text;
}

// Cuts to at most max_length bytes without splitting a UTF-8 character.
std::string cut_utf8(std::string text, size_t max_length) {
    if (text.size() <= max_length)
        return text;
    size_t length = max_length;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    text.resize(length);
    return text;
}

}  // namespace

std::string encode_user_settings(const UserSettings& settings) {
    std::string bytes(1, static_cast<char>(settings.update_check));
    auto append = [&bytes](const std::string& text) {
        bytes += text;
        bytes += '\0';
    };
    append(settings.language);
    append(settings.last_firmware_folder);
    append(settings.last_log_folder);
    append(settings.last_config_folder);
    for (const std::string& filter : settings.filter_strings)
        append(filter);
    return bytes;
}

UserSettings decode_user_settings(const std::string& bytes) {
    const std::string data = bytes.substr(0, kUserSettingsMaxBytes);
    UserSettings settings;
    if (data.empty())
        return settings;
    settings.update_check = static_cast<uint8_t>(data[0]);
    size_t pos = 1;
    settings.language = next_string(data, pos);
    settings.last_firmware_folder = next_string(data, pos);
    settings.last_log_folder = next_string(data, pos);
    settings.last_config_folder = next_string(data, pos);
    for (std::string& filter : settings.filter_strings) {
        filter = cut_utf8(next_string(data, pos), kFilterStringMaxLength);
    }
    return settings;
}

UserSettings load_user_settings() {
    std::string bytes;
    if (!read_whole_file(profile_file(kUserSettingsFileName), kUserSettingsMaxBytes, bytes)) {
        bytes.clear();
    }
    return decode_user_settings(bytes);
}

void save_user_settings(const UserSettings& settings) {
    write_whole_file(profile_file(kUserSettingsFileName), encode_user_settings(settings));
}
