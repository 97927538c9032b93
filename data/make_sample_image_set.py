#!/usr/bin/env python3
"""Writes the sample firmware image set into data/sample/.

The sample set is not firmware: it exists so that the emulator and the tests
have an image set to update with. The image is 20,480 bytes from a fixed
linear congruential generator; checksums.txt holds, for each 1 KiB block, the
checksum the emulated device reports for that block when it holds it:
CRC-16/CCITT-FALSE (polynomial 0x1021, initial value 0xFFFF, no reflection, no
final XOR) over the block's 1,024 unmasked bytes.

Run from anywhere; the output is the same every time.
"""
import os

BLOCK = 1024
BLOCKS = 20


def crc16_ccitt_false(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else (crc << 1)
            crc &= 0xFFFF
    return crc


def sample_image():
    state = 0x2A2A2A2A
    out = bytearray()
    for _ in range(BLOCK * BLOCKS):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((state >> 16) & 0xFF)
    return bytes(out)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample")
    os.makedirs(folder, exist_ok=True)
    image = sample_image()
    with open(os.path.join(folder, "image.bin"), "wb") as f:
        f.write(image)
    with open(os.path.join(folder, "checksums.txt"), "w") as f:
        f.write("# block checksums, block 0 first (CRC-16/CCITT-FALSE of each 1 KiB block)\n")
        for b in range(BLOCKS):
            f.write("0x%04X\n" % crc16_ccitt_false(image[b * BLOCK:(b + 1) * BLOCK]))
    with open(os.path.join(folder, "SAMPLE"), "w") as f:
        f.write("This image set is a sample for the emulator and the tests. It is not firmware.\n")


if __name__ == "__main__":
    main()
