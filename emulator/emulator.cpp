#include "emulator/emulator.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kMarker = 'Z';
constexpr std::size_t kSealAt = 510;
constexpr std::size_t kMaxChunk = kSealAt - 12;  // data bytes that fit in one write sector

// Target and operation bytes the device understands.
constexpr std::uint8_t kSystem = 0xF0;
constexpr std::uint8_t kGb = 0x03;
constexpr std::uint8_t kFc = 0x0E;
constexpr std::uint8_t kSfc = 0x0F;
constexpr std::uint8_t kN64 = 0x10;
constexpr std::uint8_t kPce = 0x11;

const char* const kFamilyTags[] = {"GBX_PCB02_FW", "N64_PCB20_FW", "SFC_PCB02_FW",
                                   "FC2_PCB02_FW", "NES_PCB02_FW", "PCE_PCB02_FW"};

std::uint32_t le(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

bool sector_is_sealed(const std::uint8_t* sector) {
    const std::uint16_t crc = emu_crc16(sector, kSealAt, 0);
    return sector[0] == kMarker && sector[kSealAt] == (crc >> 8) &&
           sector[kSealAt + 1] == (crc & 0xFF);
}

// Flash block index for a block-aligned address, or -1.
int flash_block(std::uint32_t address) {
    if (address < kEmuFlashBase)
        return -1;
    const std::uint32_t offset = address - kEmuFlashBase;
    if (offset % kEmuBlockSize != 0 || offset / kEmuBlockSize >= kEmuBlockCount)
        return -1;
    return static_cast<int>(offset / kEmuBlockSize);
}

bool block_erased(const EmuDevice& device, std::size_t block) {
    const auto first = device.flash.begin() + static_cast<long>(block * kEmuBlockSize);
    return std::all_of(first, first + kEmuBlockSize, [](std::uint8_t b) { return b == 0xFF; });
}

void flash_write_chunk(EmuDevice& device, const std::uint8_t* sector) {
    const std::uint32_t address = le(sector + 3, 4);
    const std::uint32_t length = le(sector + 7, 2);
    if (address < kEmuFlashBase || length > kMaxChunk ||
        address - kEmuFlashBase + length > kEmuFlashSize) {
        ++device.unknown_commands;
        return;
    }
    const std::size_t start = address - kEmuFlashBase;
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t k = start + i;
        if (static_cast<int>(k / kEmuBlockSize) == device.faults.never_verify_block) {
            continue;
        }
        const std::uint8_t plain = sector[12 + i] ^ device.config.serial[k % 8];
        device.flash[k] &= plain;
    }
}

void run_system(EmuDevice& device, const std::uint8_t* sector) {
    const std::uint32_t address = le(sector + 3, 4);
    switch (sector[2]) {
        case 0x03:  // GB preparation
            return;
        case 0x04:  // serial number
            std::copy(device.config.serial.begin(), device.config.serial.end(),
                      device.reply.begin());
            return;
        case 0x07:  // boot flag
            std::copy(sector + 3, sector + 7, device.boot_flag.begin());
            return;
        case 0x0A:  // begin update: the bootloader is always ready for one
            return;
        case 0xFF:
            emu_reboot(device);
            return;
        default:
            break;
    }
    if (!device.bootloader) {
        ++device.unknown_commands;
        return;
    }
    const int block = flash_block(address);
    switch (sector[2]) {
        case 0xE0:
            if (block < 0)
                break;
            std::fill_n(device.flash.begin() + block * static_cast<long>(kEmuBlockSize),
                        kEmuBlockSize, 0xFF);
            return;
        case 0xE2: {
            if (block < 0)
                break;
            const std::uint16_t sum =
                emu_block_checksum(device.flash.data() + block * kEmuBlockSize);
            device.reply[0] = static_cast<std::uint8_t>(sum & 0xFF);
            device.reply[1] = static_cast<std::uint8_t>(sum >> 8);
            return;
        }
        case 0xE4:
            flash_write_chunk(device, sector);
            return;
        default:
            break;
    }
    ++device.unknown_commands;
}

void store_cartridge(EmuDevice& device, std::uint32_t address, std::uint8_t value) {
    device.cartridge[address] = value;
}

void run_cartridge(EmuDevice& device, const std::uint8_t* sector) {
    const std::uint8_t target = sector[1];
    const std::uint8_t op = sector[2];
    if (op == 0x01 &&
        (target == kGb || target == kFc || target == kSfc || target == kN64 || target == kPce)) {
        return;  // family initialisation
    }
    if (target == kGb && op == 0x06) {
        device.rom_base = le(sector + 4, 3);
    } else if (target == kN64 && op == 0x02) {
        device.rom_base = le(sector + 3, 4);
    } else if (target == kSfc && op == 0x04) {
        device.rom_base = sector[3] != 0 ? 0x800000 : 0;
    } else if (target == kSfc && op == 0x03) {
        store_cartridge(device, le(sector + 3, 3), sector[7]);
    } else if (target == kPce && op == 0x02) {
        store_cartridge(device, le(sector + 3, 3), sector[6]);
    } else if (target == kFc && op == 0x05) {
        const std::uint32_t address = le(sector + 4, 2);
        const std::uint32_t count = std::min<std::uint32_t>(le(sector + 8, 2), kMaxChunk);
        for (std::uint32_t i = 0; i < count; ++i) {
            store_cartridge(device, (address + i) & 0xFFFF, sector[12 + i]);
        }
    } else if (target == kFc && op == 0x02) {
        // FC parameter: taken; it changes nothing the host can read back.
    } else if (target == kFc && op == 0x12) {
        device.reply[0] = device.config.misc;
    } else {
        ++device.unknown_commands;
    }
}

void run_batch(EmuDevice& device, const std::uint8_t* data, std::size_t count) {
    for (std::size_t at = 0; at < count; at += kEmuSectorSize) {
        if (count - at < kEmuSectorSize || !sector_is_sealed(data + at)) {
            ++device.bad_sectors;
            continue;
        }
        EmuSector sector;
        std::memcpy(sector.bytes, data + at, kEmuSectorSize);
        device.commands.push_back(sector);
        device.reply.fill(0);
        if (sector.target() == kSystem) {
            run_system(device, sector.bytes);
        } else {
            run_cartridge(device, sector.bytes);
        }
    }
}

std::uint32_t data_address(const EmuDevice& device, std::uint64_t offset) {
    switch (device.config.family) {
        case EmuFamily::kGb:
        case EmuFamily::kN64:
        case EmuFamily::kSfc:
            return static_cast<std::uint32_t>(device.rom_base + offset);
        default:
            return static_cast<std::uint32_t>(offset);
    }
}

void record(EmuDevice& device, EmuEvent::Kind kind, EmuFile file, std::uint64_t offset,
            std::size_t size, bool ok) {
    device.events.push_back(EmuEvent{kind, file, offset, size, ok});
}

}  // namespace

void emu_init(EmuDevice& device, const EmuConfig& config) {
    device = EmuDevice{};
    device.config = config;
    device.bootloader = config.bootloader;
    device.revision = config.revision;
    if (config.flash.size() == kEmuFlashSize) {
        std::copy(config.flash.begin(), config.flash.end(), device.flash.begin());
    } else {
        const std::vector<std::uint8_t> old = emu_old_flash(config.firmware);
        std::copy(old.begin(), old.end(), device.flash.begin());
    }
    device.boot_flag.fill(0xFF);
}

std::vector<std::uint8_t> emu_old_flash(const std::vector<std::uint8_t>& firmware) {
    std::vector<std::uint8_t> old(kEmuFlashSize, 0x00);
    for (std::size_t k = 0; k < kEmuFlashSize; ++k) {
        old[k] = static_cast<std::uint8_t>((k < firmware.size() ? firmware[k] : 0) ^ 0x3C);
    }
    return old;
}

EmuFile emu_file_from_name(const char* name) {
    for (EmuFile file : {EmuFile::kCommand, EmuFile::kReply, EmuFile::kData}) {
        if (std::strcmp(name, emu_file_name(file)) == 0)
            return file;
    }
    return EmuFile::kNone;
}

const char* emu_file_name(EmuFile file) {
    switch (file) {
        case EmuFile::kCommand:
            return "CMD.CMD";
        case EmuFile::kReply:
            return "K-PORTAL.DMP";
        case EmuFile::kData:
            return "DUMP.ROM";
        default:
            return "";
    }
}

std::uint64_t emu_file_size(const EmuDevice& device, EmuFile file) {
    switch (file) {
        case EmuFile::kCommand:
            return device.command_file_size;
        case EmuFile::kReply:
            return kEmuReplyFileSize;
        case EmuFile::kData:
            return kEmuDataFileSize;
        default:
            return 0;
    }
}

bool emu_open(EmuDevice& device, EmuFile file, bool for_write) {
    ++device.exchanges;
    if (device.faults.vanish_after >= 0 && device.exchanges > device.faults.vanish_after) {
        device.vanished = true;
    }
    const bool ok = !device.vanished && file != EmuFile::kNone;
    if (ok && for_write && file == EmuFile::kCommand) {
        device.command_file_size = 0;  // created or truncated
    }
    record(device, EmuEvent::kOpen, file, 0, 0, ok);
    return ok;
}

long emu_read(EmuDevice& device, EmuFile file, std::uint64_t offset, std::uint8_t* destination,
              std::size_t count) {
    const bool refused =
        device.vanished || file == EmuFile::kCommand ||
        (file == EmuFile::kReply && device.faults.reply_unreadable_after >= 0 &&
         device.exchanges > device.faults.reply_unreadable_after && offset < kEmuIdentityOffset);
    record(device, EmuEvent::kRead, file, offset, count, !refused);
    if (refused) {
        return -1;
    }
    const std::uint64_t size = emu_file_size(device, file);
    if (offset >= size) {
        return 0;
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset));
    if (file == EmuFile::kReply) {
        const auto identity = emu_identity(device);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t at = offset + i;
            std::uint8_t value = 0;
            if (at < kEmuSectorSize) {
                value = device.reply[at];
            } else if (at >= kEmuIdentityOffset && at < kEmuIdentityOffset + 16) {
                value = identity[at - kEmuIdentityOffset];
            }
            destination[i] = value;
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            destination[i] = emu_cartridge_byte(device, data_address(device, offset + i));
        }
    }
    return static_cast<long>(n);
}

long emu_write(EmuDevice& device, EmuFile file, const std::uint8_t* source, std::size_t count) {
    const bool refused = device.vanished || file != EmuFile::kCommand ||
                         (device.faults.fail_operation >= 0 && count >= 3 &&
                          source[2] == device.faults.fail_operation);
    record(device, EmuEvent::kWrite, file, 0, count, !refused);
    if (refused) {
        return -1;
    }
    device.command_file_size = count;
    run_batch(device, source, count);
    return static_cast<long>(count);
}

void emu_close(EmuDevice& device, EmuFile file) {
    record(device, EmuEvent::kClose, file, 0, 0, !device.vanished);
}

void emu_vanish(EmuDevice& device) {
    device.vanished = true;
}

std::array<std::uint8_t, 16> emu_identity(const EmuDevice& device) {
    std::array<std::uint8_t, 16> id{};
    std::string text;
    if (device.bootloader) {
        text = "BOOT0301";
    } else {
        text = std::string(kFamilyTags[static_cast<int>(device.config.family)]) + device.revision;
    }
    std::memcpy(id.data(), text.data(), std::min<std::size_t>(text.size(), id.size()));
    return id;
}

std::uint16_t emu_crc16(const std::uint8_t* bytes, std::size_t length, std::uint16_t initial) {
    std::uint16_t crc = initial;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

std::uint16_t emu_block_checksum(const std::uint8_t* block) {
    return emu_crc16(block, kEmuBlockSize, 0xFFFF);
}

void emu_seal(std::uint8_t* sector) {
    sector[0] = kMarker;
    const std::uint16_t crc = emu_crc16(sector, kSealAt, 0);
    sector[kSealAt] = static_cast<std::uint8_t>(crc >> 8);
    sector[kSealAt + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

std::uint8_t emu_cartridge_byte(const EmuDevice& device, std::uint32_t address) {
    const auto written = device.cartridge.find(address);
    if (written != device.cartridge.end()) {
        return written->second;
    }
    // Unwritten cartridge bytes: a fixed pattern of the address and family.
    const std::uint32_t mixed = (address ^ (address >> 13)) * 2654435761U;
    return static_cast<std::uint8_t>((mixed >> 24) ^
                                     static_cast<std::uint32_t>(device.config.family));
}

void emu_reboot(EmuDevice& device) {
    static const std::uint8_t kBoot[4] = {'B', 'O', 'O', 'T'};
    device.rom_base = 0;
    if (std::equal(device.boot_flag.begin(), device.boot_flag.end(), kBoot) ||
        block_erased(device, 0)) {
        device.bootloader = true;
        return;
    }
    device.bootloader = false;
    const bool right =
        device.config.firmware.size() == kEmuFlashSize &&
        std::equal(device.flash.begin(), device.flash.end(), device.config.firmware.begin());
    device.revision = right ? device.config.new_revision : device.config.revision;
}

void emu_replug(EmuDevice& device) {
    device.faults = EmuFaults{};
    device.vanished = false;
    device.exchanges = 0;
    device.events.clear();
    device.commands.clear();
    device.bad_sectors = 0;
    device.unknown_commands = 0;
    device.reply.fill(0);
    emu_reboot(device);
}
