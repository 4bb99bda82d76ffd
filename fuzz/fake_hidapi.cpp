// hidapi's C API for the link fuzz target: one device that hands the fuzzer's bytes to the
// host as input reports and takes every output report whole. Fuzzing only.
#include "fuzz/fake_hidapi.h"

#include <hidapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

struct hid_device_ {
    int unused = 0;
};

namespace {

hid_device_ g_device;
bool g_open = false;
const uint8_t* g_data = nullptr;
size_t g_size = 0;
size_t g_pos = 0;
int g_report_size = 64;

}  // namespace

namespace fake_hid {

void feed(const uint8_t* data, size_t size, int report_size) {
    g_data = data;
    g_size = size;
    g_pos = 0;
    g_report_size = report_size;
}

bool exhausted() {
    return g_pos >= g_size;
}

}  // namespace fake_hid

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) {
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void) {
    return 0;
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short, unsigned short product_id,
                                                 const wchar_t*) {
    // The long-report product id is asked first; a short-report run refuses it.
    const bool long_id = product_id == 0xF1C9;
    if (g_open || long_id != (g_report_size == 64))
        return nullptr;
    g_open = true;
    return &g_device;
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device*, wchar_t* string, size_t maxlen) {
    const wchar_t product[] = L"USB HID Progr";
    if (maxlen < sizeof(product) / sizeof(wchar_t))
        return -1;
    std::wcscpy(string, product);
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device*, const unsigned char*, size_t length) {
    return static_cast<int>(length);
}

// Each report is one control byte and, for a report, the report's bytes: control 0 is a read
// that times out, 1 a read error, 2 a short report, anything else a whole report.
int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device*, unsigned char* data, size_t length,
                                                 int) {
    if (g_pos >= g_size)
        return 0;
    const uint8_t control = g_data[g_pos++];
    if (control == 0)
        return 0;
    if (control == 1)
        return -1;
    size_t count = std::min({static_cast<size_t>(g_report_size), length, g_size - g_pos});
    if (control == 2 && count > 0)
        count -= 1;
    std::memcpy(data, g_data + g_pos, count);
    g_pos += count;
    return static_cast<int>(count);
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length) {
    return hid_read_timeout(dev, data, length, -1);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device*, int) {
    return 0;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device*) {
    g_open = false;
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device*) {
    return L"fuzzed";
}

}  // extern "C"
