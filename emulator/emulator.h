// The device emulator: behaves as the cartridge reader/writer does behind its
// three files, so that the real tool can be run without the hardware. It is
// used in-process by the tests' simulated host and by the FUSE front end.
//
// What it presents:
// - "K-PORTAL.DMP", 0x8800 bytes: the reply to the last command at offset 0
//   (512 bytes, zero where the command left nothing), the 16-byte identity
//   at 0x8000, zeros elsewhere.
// - "DUMP.ROM", 16 MiB: cartridge bytes from the address the family's
//   positioning command set (GB 24-bit, N64 32-bit, SFC upper-8-MiB select);
//   FC2, NES and PCE present the cartridge from address 0. Written cartridge
//   bytes read back; unwritten ones follow a fixed pattern of the address.
// - "CMD.CMD": every write is one batch of 512-byte sectors, processed in
//   order before the write returns. A sector whose marker or seal is wrong is
//   ignored and counted.
//
// Its flash is twenty 1 KiB blocks from 0x08004000. Its block checksum is
// CRC-16/CCITT-FALSE (polynomial 0x1021, initial 0xFFFF, no reflection, no
// final XOR) over the block's 1,024 stored bytes. Written data arrives masked
// with the serial number (byte k of the flash XOR serial byte k mod 8) and is
// stored unmasked; programming ANDs into the erased (0xFF) bytes as flash does.
// Erase, checksum and write are taken only while the bootloader runs.
//
// Reboot: with the boot flag "BOOT" the bootloader starts. Otherwise the
// application starts, unless flash block 0 is erased, in which case the
// bootloader stays. The application reports the new revision when the flash
// equals the reference firmware it was given, else its old revision.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr std::uint32_t kEmuFlashBase = 0x08004000;
constexpr std::size_t kEmuBlockSize = 1024;
constexpr std::size_t kEmuBlockCount = 20;
constexpr std::size_t kEmuFlashSize = kEmuBlockSize * kEmuBlockCount;
constexpr std::size_t kEmuSectorSize = 512;
constexpr std::uint32_t kEmuIdentityOffset = 0x8000;
constexpr std::uint64_t kEmuReplyFileSize = 0x8800;
constexpr std::uint64_t kEmuDataFileSize = 0x1000000;

enum class EmuFile : std::uint8_t { kCommand, kReply, kData, kNone };
enum class EmuFamily : std::uint8_t { kGb, kN64, kSfc, kFc2, kNes, kPce };

struct EmuConfig {
    EmuFamily family = EmuFamily::kNes;
    std::string revision = "302";      // application revision digits
    std::string new_revision = "305";  // reported once the flash is right
    bool bootloader = false;           // start in the bootloader
    std::array<std::uint8_t, 8> serial = {0x13, 0x57, 0x9B, 0xDF, 0x24, 0x68, 0xAC, 0xE0};
    std::vector<std::uint8_t> firmware;  // the right flash content (20,480 bytes)
    std::vector<std::uint8_t> flash;     // initial flash; empty: an old firmware
    std::uint8_t misc = 0x0A;            // FC/NES header report MISC byte
};

struct EmuFaults {
    long vanish_after = -1;            // exchanges (opens) allowed before the drive vanishes
    int fail_operation = -1;           // command writes whose first sector has this operation fail
    long reply_unreadable_after = -1;  // exchanges after which reads of the reply area
                                       // (below 0x8000) fail; 0: from the start
    int never_verify_block = -1;       // writes to this block are lost
};

struct EmuEvent {
    enum Kind : std::uint8_t { kOpen, kRead, kWrite, kClose } kind;
    EmuFile file;
    std::uint64_t offset;  // read: position; others 0
    std::size_t size;      // read or write: bytes asked for
    bool ok;
};

struct EmuSector {
    std::uint8_t bytes[kEmuSectorSize];
    std::uint8_t target() const { return bytes[1]; }
    std::uint8_t operation() const { return bytes[2]; }
};

struct EmuDevice {
    EmuConfig config;
    EmuFaults faults;
    // Device state.
    bool bootloader = false;
    std::string revision;
    std::array<std::uint8_t, kEmuFlashSize> flash{};
    std::array<std::uint8_t, 4> boot_flag{};
    std::array<std::uint8_t, kEmuSectorSize> reply{};
    std::map<std::uint32_t, std::uint8_t> cartridge;  // written cartridge bytes
    std::uint32_t rom_base = 0;                       // set by the positioning command
    bool vanished = false;
    std::size_t command_file_size = 0;
    // What the host did.
    long exchanges = 0;  // opens seen
    std::vector<EmuEvent> events;
    std::vector<EmuSector> commands;  // accepted sectors, in order
    long bad_sectors = 0;             // sectors ignored for a wrong marker or seal
    long unknown_commands = 0;        // accepted sectors it has no meaning for
};

void emu_init(EmuDevice& device, const EmuConfig& config);

// File name (case as the device presents it) to file, kNone when unknown.
EmuFile emu_file_from_name(const char* name);
const char* emu_file_name(EmuFile file);
std::uint64_t emu_file_size(const EmuDevice& device, EmuFile file);

// The host's exchanges. Open returns false once the drive has vanished;
// read and write return the byte count or -1.
bool emu_open(EmuDevice& device, EmuFile file, bool for_write);
long emu_read(EmuDevice& device, EmuFile file, std::uint64_t offset, std::uint8_t* destination,
              std::size_t count);
long emu_write(EmuDevice& device, EmuFile file, const std::uint8_t* source, std::size_t count);
void emu_close(EmuDevice& device, EmuFile file);

// The drive is gone from now on.
void emu_vanish(EmuDevice& device);

// The 16 identity bytes as the reply file shows them.
std::array<std::uint8_t, 16> emu_identity(const EmuDevice& device);

// CRC-16 with polynomial 0x1021, bit by bit, no reflection: with initial 0
// the sector seal (CRC-16/XMODEM), with 0xFFFF the block checksum
// (CRC-16/CCITT-FALSE).
std::uint16_t emu_crc16(const std::uint8_t* bytes, std::size_t length, std::uint16_t initial);
std::uint16_t emu_block_checksum(const std::uint8_t* block);

// Marks and seals a sector as the device expects it (tests build commands
// with it independently of the tool).
void emu_seal(std::uint8_t* sector);

// The byte the cartridge holds at `address`.
std::uint8_t emu_cartridge_byte(const EmuDevice& device, std::uint32_t address);

// Reboot as the device does (also what the reboot command does).
void emu_reboot(EmuDevice& device);

// A device that is unplugged and plugged back: same flash, boot flag, serial
// and cartridge; fresh logs, no faults.
void emu_replug(EmuDevice& device);

// An "old firmware" flash content for a reference firmware.
std::vector<std::uint8_t> emu_old_flash(const std::vector<std::uint8_t>& firmware);
