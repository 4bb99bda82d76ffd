// The console's record of device traffic. The link hands device log lines and error dumps
// here; the console window shows the same record.
#pragma once

#include <string>
#include <string_view>

enum class TrafficDirection { sent, received };

// Appends text (ending early at a NUL) as time-stamped console lines, sent ("<") or
// received (">").
void log_traffic(TrafficDirection direction, std::string_view text);

// The whole record since start (or since it was last cleared).
const std::string& traffic_text();
void clear_traffic();
