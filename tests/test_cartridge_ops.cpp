// Cartridge operations against the emulator: what they read is what the
// emulated cartridge holds at the address asked for.
#include <cstring>

#include "commands/cartridge_ops.h"
#include "fixture.h"

namespace {

class CartridgeReads : public DeviceTest {
   protected:
    void expect_cartridge(const std::vector<std::uint8_t>& got, std::uint32_t address) {
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], emu_cartridge_byte(device, address + static_cast<std::uint32_t>(i)))
                << "byte " << i << " of a read at " << address;
        }
    }
};

struct ReadCase {
    const char* name;
    EmuFamily family;
    ReadOperation read;
    std::uint32_t address;
    std::size_t count;
    std::uint32_t cartridge_address;  // where the bytes must come from
    std::size_t commands;             // positioning sectors sent
};

class FamilyRead : public CartridgeReads, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(FamilyRead, DeliversTheCartridgeBytesAtTheAddress) {
    const ReadCase& c = GetParam();
    attach(emu_config(c.family));
    g_drive_letter = 'D';
    std::vector<std::uint8_t> got(c.count);
    EXPECT_EQ(c.read(c.address, got.data(), c.count), c.count);
    expect_cartridge(got, c.cartridge_address);
    EXPECT_EQ(device.commands.size(), c.commands);
    EXPECT_EQ(device.bad_sectors, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Families, FamilyRead,
    ::testing::Values(
        ReadCase{"GbAddressBytes", EmuFamily::kGb, read_rom_gb, 0x12345, 16, 0x12345, 1},
        ReadCase{"GbLargeRead", EmuFamily::kGb, read_rom_gb, 0xABCDEF, 2048, 0xABCDEF, 1},
        ReadCase{"N64AddressZeroSendsNothing", EmuFamily::kN64, read_rom_n64, 0, 16, 0, 0},
        ReadCase{"N64Address", EmuFamily::kN64, read_rom_n64, 0x10000400, 1024, 0x10000400, 1},
        ReadCase{"SfcLastLowerByte", EmuFamily::kSfc, read_rom_sfc, 0x7FFFFF, 1, 0x7FFFFF, 1},
        ReadCase{"SfcFirstUpperByte", EmuFamily::kSfc, read_rom_sfc, 0x800000, 16, 0x800000, 1},
        ReadCase{"SfcUpperLarge", EmuFamily::kSfc, read_rom_sfc, 0x812000, 4096, 0x812000, 1},
        ReadCase{"PlainSmall", EmuFamily::kNes, read_rom_plain, 0x8010, 32, 0x8010, 0},
        ReadCase{"Plain1024", EmuFamily::kFc2, read_rom_plain, 0x8000, 1024, 0x8000, 0},
        ReadCase{"Plain3072", EmuFamily::kPce, read_rom_plain, 0x4000, 3072, 0x4000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    EmuFamily family;
    WriteOperation write;
    std::uint32_t address;
    std::size_t count;
};

class FamilyWrite : public CartridgeReads, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(FamilyWrite, WrittenBytesReadBackThroughTheFamilysRead) {
    const WriteCase& c = GetParam();
    attach(emu_config(c.family));
    ASSERT_EQ(device_startup(0, 0), 1);
    std::vector<std::uint8_t> data(c.count);
    for (std::size_t i = 0; i < c.count; ++i) data[i] = static_cast<std::uint8_t>(0xC0 ^ (i * 13));
    EXPECT_EQ(g_operations.write(c.address, data.data(), c.count),
              512 * (c.family == EmuFamily::kFc2 ? (c.count + 255) / 256 : c.count));
    std::vector<std::uint8_t> back(1024);
    ASSERT_EQ(g_operations.read(c.address & ~1023U, back.data(), back.size()), back.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin() + (c.address & 1023)));
    EXPECT_EQ(back[(c.address & 1023) + c.count],
              emu_cartridge_byte(device, c.address + static_cast<std::uint32_t>(c.count)));
}

INSTANTIATE_TEST_SUITE_P(
    Families, FamilyWrite,
    ::testing::Values(WriteCase{"Nes", EmuFamily::kNes, write_nes_bytes, 0x8003, 3},
                      WriteCase{"Fc2", EmuFamily::kFc2, write_fc2_blocks, 0x8000, 600},
                      WriteCase{"Pce", EmuFamily::kPce, write_pce_bytes, 0x2001, 5},
                      WriteCase{"Sfc", EmuFamily::kSfc, write_sfc_bytes, 0x1402, 4}),
    [](const auto& info) { return std::string(info.param.name); });

struct HeaderCase {
    std::uint8_t misc;
    const char* lines;
};

class NesHeader : public DeviceTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(NesHeader, DecodesTheMiscByte) {
    EmuConfig config = emu_config();
    config.misc = GetParam().misc;
    attach(config);
    ASSERT_EQ(device_startup(0, 0), 1);
    sim_reset();
    sim_attach_device('D', &device);
    g_operations.info();
    EXPECT_EQ(sim_console(), GetParam().lines);
    EXPECT_EQ(device.commands.back().target(), 0x0E);
    EXPECT_EQ(device.commands.back().operation(), 0x12);
}

INSTANTIATE_TEST_SUITE_P(
    Misc, NesHeader,
    ::testing::Values(HeaderCase{0x00, "MISC byte: 00\nIRQ: 0\nVRAM/CS: 0\nMirror: 4L\n"},
                      HeaderCase{0x0A, "MISC byte: 0A\nIRQ: 0\nVRAM/CS: 0\nMirror: V\n"},
                      HeaderCase{0x0C, "MISC byte: 0C\nIRQ: 0\nVRAM/CS: 0\nMirror: H\n"},
                      HeaderCase{0x0F, "MISC byte: 0F\nIRQ: 0\nVRAM/CS: 0\nMirror: 4H\n"},
                      HeaderCase{0x2F, "MISC byte: 2F\nIRQ: 1\nVRAM/CS: 0\nMirror: 4H\n"},
                      HeaderCase{0x13, "MISC byte: 13\nIRQ: 0\nVRAM/CS: 1\nMirror: Unknow(3)\n"},
                      HeaderCase{0xFE, "MISC byte: FE\nIRQ: 1\nVRAM/CS: 1\nMirror: Unknow(E)\n"}));

TEST_F(NesHeader, UnreadableReplyPrintsAnErrorInsteadOfMadeUpValues) {
    attach(emu_config());
    g_drive_letter = 'D';
    device.faults.reply_unreadable_after = 0;
    report_nes_header();
    EXPECT_EQ(sim_console(), "read header error.\n");
    EXPECT_EQ(device.commands.size(), 1u) << "the header request still goes out";
}

}  // namespace
