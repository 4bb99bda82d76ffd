// The console's record of device traffic. The link hands device log lines and error dumps
// here; the console window shows the same record.
#pragma once

#include <string>

enum class TrafficDirection { sent, received };

// Appends the text in the payload area of device_reply() (reply_length - 3 characters, ending
// early at a NUL) as one time-stamped console line, sent ("<") or received (">").
void log_traffic(TrafficDirection direction);

// The whole record since start (or since it was last cleared).
const std::string& traffic_text();
void clear_traffic();
