#!/usr/bin/env python3
"""Writes the small seed corpus of each fuzz target into tests/fuzz/corpus/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc_seal(sector):
    sector = bytearray(sector)
    sector[0] = ord("Z")
    crc = 0
    for byte in sector[:510]:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    sector[510], sector[511] = crc >> 8, crc & 0xFF
    return bytes(sector)


def sector(target, op, fields=b"", at=3):
    s = bytearray(512)
    s[1], s[2] = target, op
    s[at:at + len(fields)] = fields
    return bytes(s)


def identity(text):
    return text.encode().ljust(16, b"\0")[:16]


SEEDS = {
    "fuzz_startup": {
        "nes302": b"\x50" + identity("NES_PCB02_FW302") + b"\x1e\x31",
        "bootloader": b"\x50" + identity("BOOT0301") + b"\x13\x57\x9b\xdf",
        "gb": b"\x50" + identity("GBX_PCB02_FW302"),
        "huge_revision": b"\x50" + identity("NES_PCB02_FW3999"),
        "unterminated": b"\x50" + b"NES_PCB02_FW3x1A" + b"\xff" * 8,
        "cut_identity": b"\x01" + identity("NES_PCB02_FW3"),
        "empty_file": b"\xff",
        "short_reply_file": b"\xfe" + identity("BOOT0301") + b"\x01",
    },
    "fuzz_reader": {
        "identity": struct.pack("<IH", 0x8000, 16) + bytes(range(256)) * 4,
        "large": struct.pack("<IH", 1024, 2048) + bytes(4096),
        "past_end": struct.pack("<IH", 1023, 1000) + b"abc",
    },
    "fuzz_trace": {
        "lda_imm": b"\x00\xc0\x00\x00" + b"\xa9\x00\x4c\xf5\xc5",
        "top": b"\xff\xff\x00\xf0" + b"\x6c\x34\x12" + b"\xea" * 300,
        "branches": b"\x10\x00\x00\x10" + b"\x10\x80\xd0\xfe\xf0\x04",
    },
    "fuzz_emulator": {
        "flash_write": b"\xc4" + sector(0xF0, 0x0A) + sector(0xF0, 0xE0, struct.pack("<I", 0x08004000))
        + sector(0xF0, 0xE4, struct.pack("<IH", 0x08004000, 256) + b"\0\0\0" + bytes(256))
        + sector(0xF0, 0xE2, struct.pack("<I", 0x08004000)),
        "cartridge": b"\x84" + sector(0x0E, 0x05, struct.pack("<HxxH", 0x8000, 3) + b"\0\0" + b"abc", 4)
        + sector(0x0E, 0x12) + sector(0x0F, 0x04, b"\x01"),
        "boot_switch": b"\x84" + sector(0xF0, 0x07, b"BOOT") + sector(0xF0, 0xFF),
        "unsealed": b"\x04" + sector(0xF0, 0x04),
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
