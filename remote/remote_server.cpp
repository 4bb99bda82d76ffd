#include "remote/remote_server.h"

#include <cstdlib>

#include "update/update_server.h"

#ifndef QN718_REMOTE_HOST
#define QN718_REMOTE_HOST ""
#endif
#ifndef QN718_REMOTE_PORT
#define QN718_REMOTE_PORT 55555
#endif

std::optional<RemoteServer> configured_remote_server() {
    const std::optional<UpdateServer> parsed =
        parse_update_server(std::getenv(kRemoteServerVariable),
                            {QN718_REMOTE_HOST, static_cast<uint16_t>(QN718_REMOTE_PORT)});
    if (!parsed)
        return std::nullopt;
    return RemoteServer{parsed->host, parsed->port};
}
