#include "device_link/device_files.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "host/host.h"

char g_drive_letter = 0;

const char kCommandFileFormat[] = "%c:\\CMD.CMD";
const char kReplyFileFormat[] = "%c:\\K-PORTAL.DMP";
const char kDataFileFormat[] = "%c:\\DUMP.ROM";

namespace {

constexpr std::size_t kReadBoundary = 1024;  // reads start on this boundary
constexpr std::size_t kScratchSize = 2048;   // one widened small read

constexpr std::array<std::uint16_t, 256> make_crc_table() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        }
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = make_crc_table();

}  // namespace

void device_path(char (&path)[kPathSize], const char* format) {
    std::snprintf(path, kPathSize, format, g_drive_letter);
}

std::uint16_t sector_crc16(const std::uint8_t* bytes, std::size_t length) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = ((crc << 8) ^ kCrcTable[((crc >> 8) ^ bytes[i]) & 0xFF]) & 0xFFFF;
    }
    return static_cast<std::uint16_t>(crc);
}

void seal_sector(std::uint8_t* sector) {
    sector[0] = kSectorMarker;
    const std::uint16_t crc = sector_crc16(sector, kSealOffset);
    sector[kSealOffset] = static_cast<std::uint8_t>(crc >> 8);
    sector[kSealOffset + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

std::size_t send_command_sectors(std::uint8_t* buffer, std::size_t length) {
    // Only whole sectors are sealed; a trailing partial sector would have no
    // room for its seal and is sent as the caller left it.
    for (std::size_t at = 0; at + kSectorSize <= length; at += kSectorSize) {
        seal_sector(buffer + at);
    }
    char path[kPathSize];
    device_path(path, kCommandFileFormat);
    const HostFile file = host_open_write(path);
    if (file == kHostNoFile) {
        return 0;
    }
    std::size_t written = 0;
    if (length > 0) {
        const long result = host_write(file, buffer, length);
        written = result > 0 ? static_cast<std::size_t>(result) : 0;
    }
    host_close(file);
    return written;
}

std::size_t read_device_file(const char* path, std::uint8_t* destination, std::size_t count,
                             std::uint32_t offset) {
    if (destination == nullptr) {
        return 0;
    }
    const HostFile file = host_open_read(path);
    if (file == kHostNoFile) {
        return 0;
    }
    const std::uint32_t start = offset - offset % kReadBoundary;
    std::size_t delivered = 0;
    if (host_seek(file, start)) {
        if (count >= kReadBoundary) {
            const long got = host_read(file, destination, count);
            delivered = got > 0 ? static_cast<std::size_t>(got) : 0;
        } else {
            std::uint8_t scratch[kScratchSize] = {};
            const long got = host_read(file, scratch, kScratchSize);
            const std::size_t skip = offset % kReadBoundary;
            // Deliver only bytes the device really returned.
            if (got > 0 && static_cast<std::size_t>(got) > skip) {
                const std::size_t available = static_cast<std::size_t>(got) - skip;
                delivered = count < available ? count : available;
                std::memcpy(destination, scratch + skip, delivered);
            }
        }
    }
    host_close(file);
    return delivered;
}

std::size_t read_reply(std::uint32_t offset, std::uint8_t* destination, std::size_t count) {
    char path[kPathSize];
    device_path(path, kReplyFileFormat);
    return read_device_file(path, destination, count, offset);
}

std::size_t read_data(std::uint32_t offset, std::uint8_t* destination, std::size_t count) {
    char path[kPathSize];
    device_path(path, kDataFileFormat);
    return read_device_file(path, destination, count, offset);
}
