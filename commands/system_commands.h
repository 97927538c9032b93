// Commands addressed to the device itself (target 0xF0): boot flag, reboot,
// update start, serial number and the flash-block operations.
#pragma once

#include <cstddef>
#include <cstdint>

// Operation bytes of the system target.
constexpr std::uint8_t kOpGbPrepare = 0x03;
constexpr std::uint8_t kOpReadSerial = 0x04;
constexpr std::uint8_t kOpSetBootFlag = 0x07;
constexpr std::uint8_t kOpBeginUpdate = 0x0A;
constexpr std::uint8_t kOpEraseBlock = 0xE0;
constexpr std::uint8_t kOpBlockChecksum = 0xE2;
constexpr std::uint8_t kOpWriteFlash = 0xE4;
constexpr std::uint8_t kOpReboot = 0xFF;

constexpr std::uint8_t kBootFlagBoot = 0x81;   // "BOOT": start the bootloader
constexpr std::uint8_t kBootFlagClear = 0x80;  // FF FF FF FF: start the application
constexpr std::size_t kFlashChunkSize = 256;   // data bytes per flash write sector

// Each returns the writer's result: 512 when the sector went out, else 0.
std::size_t set_boot_flag(std::uint8_t flags);
std::size_t begin_update();
std::size_t reboot_device();
std::size_t erase_flash_block(std::uint32_t address);

// Reads the first `count` bytes of the serial number. Returns 1 or 0.
int read_serial(std::uint8_t* destination, std::size_t count);

// The device's 16-bit checksum of the flash block at `address`, or 0 when the
// reply could not be read. `reply_read`, when given, tells which it was.
std::uint16_t read_block_checksum(std::uint32_t address, bool* reply_read = nullptr);

// Writes `count` bytes as 256-byte chunks, one sector each, in one command
// write. Returns the bytes written to the command file, 0 on failure.
std::size_t write_flash(std::uint32_t address, const std::uint8_t* source, std::size_t count);
