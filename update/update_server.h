// Which update server the program asks: a build setting, overridden by the environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct UpdateServer {
    std::string host;
    uint16_t port = 80;
};

constexpr const char* kUpdateServerVariable = "QN718_UPDATE_SERVER";

// "host" or "host:port" over the defaults; none when neither names a host (a build without a
// server, and no override). A value with an unusable port gives an empty host, which never
// resolves: a mistyped override must neither fall back to the built-in server nor pass as none.
std::optional<UpdateServer> parse_update_server(const char* text, const UpdateServer& defaults);
// The build's host and port, or QN718_UPDATE_SERVER when it is set and not empty; none when
// neither names a server, and then the program never asks one.
std::optional<UpdateServer> configured_update_server();
