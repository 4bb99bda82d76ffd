// Deciding whether the program can work with the device that has just announced itself.
#pragma once

#include <cstdint>

typedef struct _GtkWidget GtkWidget;

constexpr uint16_t kQn718TypeCode = 718;

// 1 connected (page built, connected state), 0 not accepted this time (the greeting goes
// on), 2 incompatible device whose window the user has closed. Reads the identity reply.
int identify_device(GtkWidget* main_box);
// 0 answered, 1 no answer within 99 polls.
int query_sub_version();

struct SubVersion {
    uint8_t a = 0;
    uint8_t b = 0;
};
// 0, 0 until the device has answered once.
SubVersion sub_version();
