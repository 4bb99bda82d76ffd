// Extension point of the interruption sweep: operations that reach the device through the
// remote relay. Each entry is a sweep::Operation like the local ones (see
// interruption_harness.h): `prepare` sets up the device and a relay server on the loopback,
// `run` performs the relayed configuration read or the relayed flash and fills the outcome.
// The sweep, the long run and the window check pick up every entry without further changes.
#pragma once

#include <vector>

namespace sweep {

inline std::vector<Operation> relayed_operations() {
    return {};
}

}  // namespace sweep
