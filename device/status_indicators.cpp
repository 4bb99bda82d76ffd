#include "device/status_indicators.h"

const StatusIndicator StatusIndicatorTable[kStatusIndicatorCount + 1] = {
    {"OUTPUT_J1-3_FRONT_SENSOR", 0xFFA500, 0, 0},
    {"OUTPUT_J1-4_programmable", 0xFFFF00, 0, 1},
    {"IGNITION (CAN)", 0xFF0000, 0, 2},
    {"IGNITION (wire_J2-4)", 0xEE0000, 0, 3},
    {"Speed (km/h): ---", 0, kNoStatusBit, 0},
    {"REVERSE_GEAR (CAN)", 0xE0FFFF, 0, 4},
    {"REVERSE_GEAR (wire+_J2-1)", 0xD1EEEE, 0, 5},
    {"REVERSE_GEAR (wire-_J2-2)", 0xB4CDCD, 0, 6},
    {"CANbus", 0x9BCD9B, 0, 7},
    {nullptr, 0x000000, 0, 0},
};
