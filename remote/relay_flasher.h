// Reflashing the device behind a remote-access session: the image goes to the program first
// ("@E0", "@E1", every block's sum checked) while the device still runs its application, then
// the bootloader is driven through raw reports as the local flasher drives it and the program
// writes the blocks ("@E5"), whose progress records move the host's progress.
#pragma once

#include "firmware/flasher.h"

class DeviceLink;
class RelayClient;

// The link goes through relay. from_bootloader: the device already waits in its bootloader.
// The link is left closed, as the local flasher leaves it.
FlashResult flash_over_relay(DeviceLink& link, RelayClient& relay, const FirmwareImage& image,
                             bool from_bootloader, FlashHost& host);
