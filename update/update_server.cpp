#include "update/update_server.h"

#include <cstdlib>

#ifndef QN718_UPDATE_HOST
#define QN718_UPDATE_HOST ""
#endif
#ifndef QN718_UPDATE_PORT
#define QN718_UPDATE_PORT 80
#endif

std::optional<UpdateServer> parse_update_server(const char* text, const UpdateServer& defaults) {
    if (!text || !*text) {
        if (defaults.host.empty())
            return std::nullopt;
        return defaults;
    }
    const std::string value = text;
    const size_t colon = value.rfind(':');
    if (colon == std::string::npos)
        return UpdateServer{value, defaults.port};
    const std::string digits = value.substr(colon + 1);
    long port = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9' || port > 65535)
            return UpdateServer{"", defaults.port};
        port = port * 10 + (c - '0');
    }
    if (digits.empty() || port < 1 || port > 65535)
        return UpdateServer{"", defaults.port};
    return UpdateServer{value.substr(0, colon), static_cast<uint16_t>(port)};
}

std::optional<UpdateServer> configured_update_server() {
    return parse_update_server(std::getenv(kUpdateServerVariable),
                               {QN718_UPDATE_HOST, QN718_UPDATE_PORT});
}
