// Which update server the program asks: a build setting, overridden by the environment.
#pragma once

#include <cstdint>
#include <string>

struct UpdateServer {
    std::string host;
    uint16_t port = 80;
};

constexpr const char* kUpdateServerVariable = "QN718_UPDATE_SERVER";

// "host" or "host:port" over the defaults. A value with an unusable port gives an empty host,
// which never resolves: a mistyped override must not fall back to the built-in server.
UpdateServer parse_update_server(const char* text, const UpdateServer& defaults);
// The build's host and port, or QN718_UPDATE_SERVER when it is set and not empty.
UpdateServer configured_update_server();
