// Which remote-access server the program logs in to: a build setting, overridden by the
// environment in the same way as the update server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct RemoteServer {
    std::string host;
    uint16_t port = 55555;
};

constexpr const char* kRemoteServerVariable = "QN718_REMOTE_SERVER";

// The build's host and port, or QN718_REMOTE_SERVER ("host" or "host:port") when it is set and
// not empty; none when neither names a server. A mistyped port gives an empty host, which
// never resolves.
std::optional<RemoteServer> configured_remote_server();
