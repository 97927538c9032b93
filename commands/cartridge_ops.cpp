#include "commands/cartridge_ops.h"

#include <cstring>
#include <vector>

#include "commands/sector_fields.h"
#include "device_link/device_files.h"
#include "updater/console.h"

namespace {

constexpr std::uint8_t kOpGbAddress = 0x06;        // GB: 24-bit ROM address
constexpr std::uint8_t kOpN64Address = 0x02;       // N64: 32-bit ROM address
constexpr std::uint8_t kOpSfcBank = 0x04;          // SFC: upper 8 MiB select
constexpr std::uint8_t kOpFcWrite = 0x05;          // FC2/NES: write bytes
constexpr std::uint8_t kOpPceWrite = 0x02;         // PCE: write one byte
constexpr std::uint8_t kOpSfcWrite = 0x03;         // SFC: write one byte
constexpr std::uint8_t kOpFcParameter = 0x02;      // FC2/NES: parameter
constexpr std::uint8_t kOpNesHeader = 0x12;        // FC2/NES: header report
constexpr std::uint32_t kSfcUpperHalf = 0x800000;  // first address of the upper 8 MiB
constexpr std::size_t kFcBlockSize = 256;          // FC2 data bytes per sector

std::size_t send_one(std::uint8_t target, std::uint8_t operation, std::size_t field,
                     const std::uint8_t* parameters, std::size_t length) {
    CommandSector sector = {};
    sector.bytes[1] = target;
    sector.bytes[2] = operation;
    std::memcpy(sector.bytes + field, parameters, length);
    return send_command_sectors(sector.bytes, sizeof sector.bytes);
}

// A zero-filled buffer of `sectors` sectors, each with target and operation.
std::vector<std::uint8_t> sector_batch(std::size_t sectors, std::uint8_t target,
                                       std::uint8_t operation) {
    std::vector<std::uint8_t> buffer(sectors * kSectorSize, 0);
    for (std::size_t at = 0; at < buffer.size(); at += kSectorSize) {
        buffer[at + 1] = target;
        buffer[at + 2] = operation;
    }
    return buffer;
}

// FC2/NES write sectors: bytes 4-5 address, 8-9 count, data from 12.
std::size_t write_fc_chunks(std::uint32_t address, const std::uint8_t* source, std::size_t count,
                            std::size_t chunk) {
    const std::size_t sectors = (count + chunk - 1) / chunk;
    std::vector<std::uint8_t> buffer = sector_batch(sectors, kTargetFc, kOpFcWrite);
    for (std::size_t j = 0; j < sectors; ++j) {
        std::uint8_t* sector = buffer.data() + j * kSectorSize;
        const std::size_t done = j * chunk;
        const std::size_t length = count - done < chunk ? count - done : chunk;
        put_le16(sector + 4, (address + static_cast<std::uint32_t>(done)) & 0xFFFF);
        put_le16(sector + 8, static_cast<std::uint32_t>(length));
        std::memcpy(sector + 12, source + done, length);
    }
    return send_command_sectors(buffer.data(), buffer.size());
}

// One sector per byte: 24-bit address at byte 3, the data byte at `data_field`.
std::size_t write_byte_sectors(std::uint8_t target, std::uint8_t operation, std::size_t data_field,
                               std::uint32_t address, const std::uint8_t* source,
                               std::size_t count) {
    std::vector<std::uint8_t> buffer = sector_batch(count, target, operation);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* sector = buffer.data() + i * kSectorSize;
        put_le24(sector + 3, (address + static_cast<std::uint32_t>(i)) & 0xFFFFFF);
        sector[data_field] = source[i];
    }
    return send_command_sectors(buffer.data(), buffer.size());
}

}  // namespace

std::size_t read_rom_plain(std::uint32_t address, std::uint8_t* destination, std::size_t count) {
    return read_data(address, destination, count);
}

std::size_t read_rom_gb(std::uint32_t address, std::uint8_t* destination, std::size_t count) {
    std::uint8_t field[3];
    put_le24(field, address);
    send_one(kTargetGb, kOpGbAddress, 4, field, sizeof field);
    return read_data(0, destination, count);
}

std::size_t read_rom_n64(std::uint32_t address, std::uint8_t* destination, std::size_t count) {
    if (address != 0) {
        std::uint8_t field[4];
        put_le32(field, address);
        send_one(kTargetN64, kOpN64Address, 3, field, sizeof field);
    }
    return read_data(0, destination, count);
}

std::size_t read_rom_sfc(std::uint32_t address, std::uint8_t* destination, std::size_t count) {
    const std::uint8_t upper = address >= kSfcUpperHalf ? 1 : 0;
    send_one(kTargetSfc, kOpSfcBank, 3, &upper, 1);
    return read_data(address & (kSfcUpperHalf - 1), destination, count);
}

std::size_t write_none(std::uint32_t, const std::uint8_t*, std::size_t) {
    return 0;
}

std::size_t write_nes_bytes(std::uint32_t address, const std::uint8_t* source, std::size_t count) {
    return write_fc_chunks(address, source, count, 1);
}

std::size_t write_fc2_blocks(std::uint32_t address, const std::uint8_t* source, std::size_t count) {
    return write_fc_chunks(address, source, count, kFcBlockSize);
}

std::size_t write_pce_bytes(std::uint32_t address, const std::uint8_t* source, std::size_t count) {
    return write_byte_sectors(kTargetPce, kOpPceWrite, 6, address, source, count);
}

std::size_t write_sfc_bytes(std::uint32_t address, const std::uint8_t* source, std::size_t count) {
    return write_byte_sectors(kTargetSfc, kOpSfcWrite, 7, address, source, count);
}

std::size_t send_fc_parameter(std::uint32_t value) {
    const std::uint8_t low = static_cast<std::uint8_t>(value & 0xFF);
    return send_one(kTargetFc, kOpFcParameter, 12, &low, 1);
}

void report_nes_header() {
    CommandSector sector = {};
    sector.bytes[1] = kTargetFc;
    sector.bytes[2] = kOpNesHeader;
    send_command_sectors(sector.bytes, sizeof sector.bytes);
    // Only a reply that really came back describes the cartridge; the sent
    // sector still in the buffer would read as a made-up header.
    if (read_reply(0, sector.bytes, sizeof sector.bytes) == 0) {
        print_std("read header error.\n");
        return;
    }
    const unsigned misc = sector.bytes[0];
    print_std("MISC byte: %.2X\n", misc);
    print_std("IRQ: %d\n", (misc >> 5) & 1);
    print_std("VRAM/CS: %d\n", (misc >> 4) & 1);
    switch (misc & 0x0F) {
        case 0x0:
            print_std("Mirror: 4L\n");
            break;
        case 0xA:
            print_std("Mirror: V\n");
            break;
        case 0xC:
            print_std("Mirror: H\n");
            break;
        case 0xF:
            print_std("Mirror: 4H\n");
            break;
        default:
            print_std("Mirror: Unknow(%X)\n", misc & 0x0F);
            break;
    }
}
