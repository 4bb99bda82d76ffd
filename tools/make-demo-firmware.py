#!/usr/bin/env python3
"""Writes a firmware file for the simulated QN718: tag, check value, and an image that names
its firmware number ("QN718FW" and four digits), which the simulated device reports after
the update.

    tools/make-demo-firmware.py OUT.bin [FIRMWARE_NUMBER [IMAGE_BYTES]]
"""
import random
import sys


def crc16_arc(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    number = int(sys.argv[2]) if len(sys.argv) > 2 else 23
    size = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    rng = random.Random(number)
    image = bytearray(rng.getrandbits(8) for _ in range(size))
    name = b"QN718FW%04d" % number
    image[16:16 + len(name)] = name
    crc = crc16_arc(image)
    header = b"QN724 " + b"\0" * 8 + bytes([crc & 0xFF, crc >> 8])
    with open(sys.argv[1], "wb") as out:
        out.write(header + image)


if __name__ == "__main__":
    main()
