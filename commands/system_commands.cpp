#include "commands/system_commands.h"

#include <cstring>
#include <vector>

#include "commands/sector_fields.h"
#include "device_link/device_files.h"

namespace {

constexpr std::size_t kAddressField = 3;      // bytes 3-6: flash address
constexpr std::size_t kChunkLengthField = 7;  // bytes 7-8: chunk length
constexpr std::size_t kChunkDataField = 12;   // chunk data from byte 12
constexpr std::size_t kChecksumReplySize = 2;

// Sends one system sector whose parameters are a flash address (or none).
std::size_t send_system(std::uint8_t operation, const std::uint32_t* address) {
    CommandSector sector = {};
    sector.bytes[1] = kTargetSystem;
    sector.bytes[2] = operation;
    if (address != nullptr) {
        put_le32(sector.bytes + kAddressField, *address);
    }
    return send_command_sectors(sector.bytes, sizeof sector.bytes);
}

}  // namespace

std::size_t set_boot_flag(std::uint8_t flags) {
    CommandSector sector = {};
    sector.bytes[1] = kTargetSystem;
    sector.bytes[2] = kOpSetBootFlag;
    sector.bytes[4] = flags & 0x01;
    if ((flags & 0x80) != 0) {
        static const std::uint8_t kBoot[4] = {'B', 'O', 'O', 'T'};
        static const std::uint8_t kClear[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        std::memcpy(sector.bytes + 3, (flags & 0x01) != 0 ? kBoot : kClear, 4);
    }
    return send_command_sectors(sector.bytes, sizeof sector.bytes);
}

std::size_t begin_update() {
    return send_system(kOpBeginUpdate, nullptr);
}

std::size_t reboot_device() {
    return send_system(kOpReboot, nullptr);
}

std::size_t erase_flash_block(std::uint32_t address) {
    return send_system(kOpEraseBlock, &address);
}

int read_serial(std::uint8_t* destination, std::size_t count) {
    if (send_system(kOpReadSerial, nullptr) == 0) {
        return 0;
    }
    // Part of a serial is a wrong serial: the image masked with it would be
    // written as garbage.
    return read_reply(0, destination, count) == count && count > 0 ? 1 : 0;
}

std::uint16_t read_block_checksum(std::uint32_t address, bool* reply_read) {
    send_system(kOpBlockChecksum, &address);
    std::uint8_t reply[kChecksumReplySize] = {};
    const bool read = read_reply(0, reply, sizeof reply) == sizeof reply;
    if (reply_read != nullptr) {
        *reply_read = read;
    }
    return read ? static_cast<std::uint16_t>(reply[0] + 256 * reply[1]) : 0;
}

std::size_t write_flash(std::uint32_t address, const std::uint8_t* source, std::size_t count) {
    const std::size_t sectors = (count + kFlashChunkSize - 1) / kFlashChunkSize;
    std::vector<std::uint8_t> buffer(sectors * kSectorSize, 0);
    for (std::size_t j = 0; j < sectors; ++j) {
        std::uint8_t* sector = buffer.data() + j * kSectorSize;
        const std::size_t done = j * kFlashChunkSize;
        const std::size_t length = count - done < kFlashChunkSize ? count - done : kFlashChunkSize;
        sector[1] = kTargetSystem;
        sector[2] = kOpWriteFlash;
        put_le32(sector + kAddressField, address + static_cast<std::uint32_t>(done));
        put_le16(sector + kChunkLengthField, static_cast<std::uint32_t>(length));
        std::memcpy(sector + kChunkDataField, source + done, length);
    }
    return send_command_sectors(buffer.data(), buffer.size());
}
