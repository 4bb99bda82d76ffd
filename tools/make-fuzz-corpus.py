#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (fuzz/corpus/<target>/): small inputs that reach the
decoders' main paths, so a short run in CI starts from there rather than from nothing."""
import os
import struct
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus")


def frame(code, payload=b""):
    length = len(payload) + 1
    total = length + code + 0xAA + sum(b + 0x55 for b in payload)
    body = bytes([length, code]) + payload + bytes([total & 0xFF])
    return ("!" + body.hex().upper() + "#").encode()


def long_reports(text, limit=62):
    """Input reports of 64 bytes: flags, count, text."""
    out = []
    pos = 0
    while True:
        chunk = text[pos:pos + limit]
        pos += len(chunk)
        more = pos < len(text)
        report = bytes([0x40 | (0x20 if more else 0), len(chunk)]) + chunk
        out.append(report.ljust(64, b"\0"))
        if not more:
            return out


def short_reports(text):
    out = []
    pos = 0
    while True:
        chunk = text[pos:pos + 7]
        pos += len(chunk)
        more = pos < len(text)
        report = bytes([0x40 | (0x20 if more else 0) | (len(chunk) << 1)]) + chunk
        out.append(report.ljust(8, b"\0"))
        if not more:
            return out


def link_input(mode, reports):
    """The link target's input: a mode byte, then per read a control byte (3: a whole report)."""
    data = bytes([mode])
    for r in reports:
        if isinstance(r, int):
            data += bytes([r])
        else:
            data += b"\x03" + r
    return data


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


identity = frame(0x08, bytes([0xCE, 0x02, 0x00, 0x16]))
greeting = frame(0x07, bytes([2, 1]))
block = frame(0x06, bytes([0x01, 13, 3, 2, 3, 0, 2, 0, 0, 0, 0, 0, 43, 0, 0]))
log_line = frame(0xFF, b"*CAN speed 12.5 km/h\n")
done = frame(0x01, b"1")
long_payload = frame(0x01, bytes(range(140)))

# frame: reply texts, alone and run together, good and spoiled, and raw input reports.
write("frame_fuzz", "identity", identity)
write("frame_fuzz", "two_frames", greeting + identity)
write("frame_fuzz", "block", block)
write("frame_fuzz", "long_payload", long_payload)
write("frame_fuzz", "bad_checksum", identity[:-3] + b"00#")
write("frame_fuzz", "lower_case", identity.lower())
write("frame_fuzz", "cut", block[:11])
write("frame_fuzz", "long_report", long_reports(identity)[0])
write("frame_fuzz", "error_dump_report", b"\xAA" * 64)
write("frame_fuzz", "without_code", b"!0055#" + done)  # length and checksum right, no code

# link: runs of input reports as the device sends them.
write("link_fuzz", "identity_long", link_input(0, long_reports(identity)))
write("link_fuzz", "identity_short", link_input(1, short_reports(identity)))
write("link_fuzz", "split_frame", link_input(0, long_reports(block, 5)))
write("link_fuzz", "log_then_reply", link_input(0, long_reports(log_line) + long_reports(done)))
write("link_fuzz", "log_as_reply", link_input(2, long_reports(log_line) + [0] + long_reports(done)))
write("link_fuzz", "two_in_one_run", link_input(0, long_reports(greeting + identity)))
write("link_fuzz", "long_payload", link_input(0, long_reports(long_payload)))
write("link_fuzz", "error_dump",
      link_input(0, [b"\xAA" * 64, b"PC=1D04 SP=07F0\n".ljust(64, b"\0"), 0] + long_reports(done)))
write("link_fuzz", "read_error", link_input(0, long_reports(identity)[:1] + [1] + long_reports(done)))
write("link_fuzz", "short_read", link_input(0, [2] + long_reports(identity)))
write("link_fuzz", "without_code_then_good", link_input(0, long_reports(b"!0055#" + done)))
write("link_fuzz", "spoiled_then_good",
      link_input(1, short_reports(identity[:-3] + b"00#") + short_reports(identity)))

# settings: the file as written, damaged and cut.
write("settings_fuzz", "empty", b"")
write("settings_fuzz", "written", b"\x01en\0/home/u/fw\0/home/u/cfg\0/home/u/log\0*CAN\0*IO\0\0")
write("settings_fuzz", "polish_off", b"\0pl\0")
write("settings_fuzz", "cut", b"\x05pl\0/fw/new")
write("settings_fuzz", "long_filter", b"\x01cs\0\0\0\0" + b"x" * 80 + b"\0")

# cfg: files as the program writes them, hand-edited and damaged.
cfg_lines = [b"canlevel=260", b"carnumber=1350", b"von_speed=4", b"switchoff_time=5",
             b"speedometer_scale=9", b"prog_output=1", b"analog_ign=2"]
write("cfg_fuzz", "written", b"\r\n".join(cfg_lines) + b"\r\n")
write("cfg_fuzz", "lf_only", b"\n".join(cfg_lines))
write("cfg_fuzz", "odd_values", b"canlevel=-5\r\ncarnumber=99999999999\r\nvon_speed=x\r\n=\r\nnokey\r\n")
write("cfg_fuzz", "long_line", b"canlevel=" + b"7" * 300 + b"\ncarnumber=3\n")
write("cfg_fuzz", "equals_in_value", b"speedometer_scale=3=4\r\n")

# http: update server responses.
write("http_fuzz", "ok", b"HTTP/1.0 200 OK\r\nContent-Length: 15\r\n\r\nVERSION 2.21.0\n")
write("http_fuzz", "no_length", b"HTTP/1.0 200 OK\r\nServer: x\r\n\r\nVERSION 2.20.0")
write("http_fuzz", "lf_only", b"HTTP/1.1 200 OK\nContent-Length: 14\n\nVERSION 3.0.1")
write("http_fuzz", "not_found", b"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")
write("http_fuzz", "huge_length", b"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nV")
write("http_fuzz", "cut_head", b"HTTP/1.0 200 OK\r\nContent-Le")

# console: data fields with escapes, and device text.
write("console_fuzz", "escapes", b"ab\\x05\\x1Fc\\\\d")
write("console_fuzz", "cut_escape", b"\\x0")
write("console_fuzz", "lone_backslash", b"abc\\")
write("console_fuzz", "bad_hex", b"\\xZZ\\xg1")
write("console_fuzz", "device_lines", b"*CAN speed 1\n*IO in 3\r\nno end")

# firmware: .bin files, right and wrong.
image = bytes((i * 37 + 11) & 0xFF for i in range(200))
header = b"QN724 " + bytes(10)
write("firmware_fuzz", "tagged", header + image)
write("firmware_fuzz", "repair_me", b"\x01" + bytes(15) + image)
write("firmware_fuzz", "short", b"QN724 \0\0")
write("firmware_fuzz", "query_reply",
      bytes([0x02, 0x38, 0x03, 0x01, 0x00, 0x60, 0x00, 0x1D, 0x00, 0xA0, 0x07, 0x00, 0xFE])
      + struct.pack("<II", 6, 0x0102) + bytes(43))
# relay: command streams from the remote-access server, whole and cut.
write("relay_fuzz", "hello_and_status", b"@H@G ")
write("relay_fuzz", "counted_read", b"@h\x05\x02\x01\x0d@R")
write("relay_fuzz", "serial_and_at", b"abc@@def")
write("relay_fuzz", "upload_block", b"@E0@E1" + bytes([0, 0, 0, 8]) + bytes(range(8)) + b"@E5")
write("relay_fuzz", "ack_command", b"@F\x03\x02\x01\x00")
write("relay_fuzz", "cut_command", b"@h\x05")
print("corpora written under", os.path.normpath(ROOT), file=sys.stderr)
