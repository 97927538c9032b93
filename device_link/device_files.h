// The device's three files, the command sector and its seal, the command
// writer and the unbuffered reader. Every other part of the tool reaches the
// device only through the operations declared here.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kSectorSize = 512;           // one command sector
constexpr std::size_t kSealOffset = 510;           // CRC-16, high byte first
constexpr std::uint8_t kSectorMarker = 'Z';        // byte 0 of every sector
constexpr std::size_t kPathSize = 260;             // buffer for a device path
constexpr std::uint32_t kIdentityOffset = 0x8000;  // identity in the reply file

// Target bytes (byte 1 of a sector).
constexpr std::uint8_t kTargetGb = 0x03;
constexpr std::uint8_t kTargetFc = 0x0E;  // FC2 and NES
constexpr std::uint8_t kTargetSfc = 0x0F;
constexpr std::uint8_t kTargetN64 = 0x10;
constexpr std::uint8_t kTargetPce = 0x11;
constexpr std::uint8_t kTargetSystem = 0xF0;

// One 512-byte command unit: marker, target, operation, parameters, seal.
struct CommandSector {
    std::uint8_t bytes[kSectorSize];
};

// The drive letter every device path is formed from ('D' to 'Z', or 0).
extern char g_drive_letter;

// Path format strings, each taking the drive letter.
extern const char kCommandFileFormat[];  // "%c:\CMD.CMD"
extern const char kReplyFileFormat[];    // "%c:\K-PORTAL.DMP"
extern const char kDataFileFormat[];     // "%c:\DUMP.ROM"

// Forms a device path from a format above and the selected drive letter.
void device_path(char (&path)[kPathSize], const char* format);

// CRC-16/XMODEM over `length` bytes (polynomial 0x1021, initial 0).
std::uint16_t sector_crc16(const std::uint8_t* bytes, std::size_t length);

// Stores the marker and the seal in one sector.
void seal_sector(std::uint8_t* sector);

// Seals every sector of `buffer` in place and writes the whole buffer to the
// command file in one write call. Returns the bytes written, 0 on failure.
std::size_t send_command_sectors(std::uint8_t* buffer, std::size_t length);

// Reads `count` bytes at `offset` of a device file around the cache.
// Returns the bytes delivered to `destination` (0 on failure); a short file
// delivers only what was really read.
std::size_t read_device_file(const char* path, std::uint8_t* destination, std::size_t count,
                             std::uint32_t offset);

std::size_t read_reply(std::uint32_t offset, std::uint8_t* destination, std::size_t count);
std::size_t read_data(std::uint32_t offset, std::uint8_t* destination, std::size_t count);
