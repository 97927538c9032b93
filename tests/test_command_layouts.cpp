// The sector layout of every command: the bytes each one sets, and how many
// sectors go out in its one command-file write.
#include <cstring>
#include <functional>

#include "commands/cartridge_ops.h"
#include "commands/system_commands.h"
#include "fixture.h"

namespace {

struct LayoutCase {
    const char* name;
    std::function<std::size_t()> send;
    std::size_t result;                // what the operation returns
    std::vector<std::string> sectors;  // bytes set, per sector, all in one write
};

class CommandLayout : public DeviceTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(CommandLayout, SetsOnlyTheNamedBytesInOneWrite) {
    const LayoutCase& c = GetParam();
    sim_add_drive('D', true);
    sim_put_file('D', "K-PORTAL.DMP", std::vector<std::uint8_t>(0x8800, 0));
    sim_put_file('D', "DUMP.ROM", std::vector<std::uint8_t>(0x1000000, 0));
    sim_put_file('D', "CMD.CMD", {0xEE, 0xEE, 0xEE});  // left over from an earlier command
    g_drive_letter = 'D';
    EXPECT_EQ(c.send(), c.result);
    // Created or truncated by every command, even one of no sectors.
    const std::vector<std::uint8_t> file = sim_file('D', "CMD.CMD");
    ASSERT_EQ(file.size(), 512 * c.sectors.size());
    for (std::size_t s = 0; s < c.sectors.size(); ++s) {
        const std::uint8_t* sector = file.data() + 512 * s;
        EXPECT_EQ(sector[0], 'Z');
        const std::uint16_t crc = sector_crc16(sector, 510);
        EXPECT_EQ(sector[510], crc >> 8);
        EXPECT_EQ(sector[511], crc & 0xFF);
        EXPECT_EQ(set_bytes(sector), c.sectors[s]) << "sector " << s;
    }
}

const std::uint8_t kThree[] = {0xA1, 0xB2, 0xC3};

// 600 bytes: 256 x 0x11, 256 x 0x22, 88 x 0x33.
const std::vector<std::uint8_t> kSixHundred = [] {
    std::vector<std::uint8_t> bytes(600, 0x11);
    std::fill(bytes.begin() + 256, bytes.begin() + 512, 0x22);
    std::fill(bytes.begin() + 512, bytes.end(), 0x33);
    return bytes;
}();

std::string fc2_sector(const char* head, std::uint8_t fill, int length) {
    std::string out = head;
    char word[16];
    for (int i = 0; i < length; ++i) {
        std::snprintf(word, sizeof word, " %d:%02X", 12 + i, fill);
        out += word;
    }
    return out;
}

std::uint8_t g_scratch[16];

INSTANTIATE_TEST_SUITE_P(
    System, CommandLayout,
    ::testing::Values(
        LayoutCase{"BootFlagBoot",
                   [] { return set_boot_flag(0x81); },
                   512,
                   {"1:F0 2:07 3:42 4:4F 5:4F 6:54"}},
        LayoutCase{"BootFlagClear",
                   [] { return set_boot_flag(0x80); },
                   512,
                   {"1:F0 2:07 3:FF 4:FF 5:FF 6:FF"}},
        LayoutCase{
            "BootFlagBitZeroOnly", [] { return set_boot_flag(0x01); }, 512, {"1:F0 2:07 4:01"}},
        LayoutCase{"BootFlagNeither", [] { return set_boot_flag(0x7E); }, 512, {"1:F0 2:07"}},
        LayoutCase{"BeginUpdate", [] { return begin_update(); }, 512, {"1:F0 2:0A"}},
        LayoutCase{"Reboot", [] { return reboot_device(); }, 512, {"1:F0 2:FF"}},
        LayoutCase{"EraseBlock0",
                   [] { return erase_flash_block(0x08004000); },
                   512,
                   {"1:F0 2:E0 4:40 6:08"}},
        LayoutCase{"Checksum",
                   [] { return std::size_t{read_block_checksum(0x08008C00)}; },
                   0,
                   {"1:F0 2:E2 4:8C 6:08"}},
        LayoutCase{"Serial",
                   [] { return static_cast<std::size_t>(read_serial(g_scratch, 8)); },
                   1,
                   {"1:F0 2:04"}},
        LayoutCase{"WriteFlashNothing", [] { return write_flash(0x08004000, kThree, 0); }, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Cartridge, CommandLayout,
    ::testing::Values(
        LayoutCase{"NesThreeBytes",
                   [] { return write_nes_bytes(0x8000, kThree, 3); },
                   1536,
                   {"1:0E 2:05 5:80 8:01 12:A1", "1:0E 2:05 4:01 5:80 8:01 12:B2",
                    "1:0E 2:05 4:02 5:80 8:01 12:C3"}},
        LayoutCase{"NesAddressKeepsLow16Bits",
                   [] { return write_nes_bytes(0x1FFFF, kThree, 2); },
                   1024,
                   {"1:0E 2:05 4:FF 5:FF 8:01 12:A1", "1:0E 2:05 8:01 12:B2"}},
        LayoutCase{"Fc2SixHundredBytes",
                   [] { return write_fc2_blocks(0x8000, kSixHundred.data(), 600); },
                   1536,
                   {fc2_sector("1:0E 2:05 5:80 9:01", 0x11, 256),
                    fc2_sector("1:0E 2:05 5:81 9:01", 0x22, 256),
                    fc2_sector("1:0E 2:05 5:82 8:58", 0x33, 88)}},
        LayoutCase{"PceTwoBytes",
                   [] { return write_pce_bytes(0x123456, kThree, 2); },
                   1024,
                   {"1:11 2:02 3:56 4:34 5:12 6:A1", "1:11 2:02 3:57 4:34 5:12 6:B2"}},
        LayoutCase{"SfcOneByte",
                   [] { return write_sfc_bytes(0x123456, kThree + 2, 1); },
                   512,
                   {"1:0F 2:03 3:56 4:34 5:12 7:C3"}},
        LayoutCase{"FcParameterLow8Bits",
                   [] { return send_fc_parameter(0x1A5); },
                   512,
                   {"1:0E 2:02 12:A5"}},
        LayoutCase{"NesCountZero", [] { return write_nes_bytes(0x8000, kThree, 0); }, 0, {}},
        LayoutCase{"Fc2CountZero", [] { return write_fc2_blocks(0x8000, kThree, 0); }, 0, {}},
        LayoutCase{"PceCountZero", [] { return write_pce_bytes(0x8000, kThree, 0); }, 0, {}},
        LayoutCase{"SfcCountZero", [] { return write_sfc_bytes(0x8000, kThree, 0); }, 0, {}},
        LayoutCase{"GbReadAddress",
                   [] { return read_rom_gb(0x123456, g_scratch, 16); },
                   16,
                   {"1:03 2:06 4:56 5:34 6:12"}},
        LayoutCase{"N64ReadAddress",
                   [] { return read_rom_n64(0x10203040, g_scratch, 16); },
                   16,
                   {"1:10 2:02 3:40 4:30 5:20 6:10"}},
        LayoutCase{"SfcReadLowerHalf",
                   [] { return read_rom_sfc(0x7FFFFF, g_scratch, 1); },
                   1,
                   {"1:0F 2:04"}},
        LayoutCase{"SfcReadUpperHalf",
                   [] { return read_rom_sfc(0x800000, g_scratch, 16); },
                   16,
                   {"1:0F 2:04 3:01"}}),
    [](const auto& info) { return std::string(info.param.name); });

class CartridgeWrites : public DeviceTest {};

TEST_F(CartridgeWrites, WriteNoneAndPlainReadsSendNothing) {
    sim_add_drive('D', true);
    sim_put_file('D', "DUMP.ROM", std::vector<std::uint8_t>(4096, 0x42));
    sim_put_file('D', "CMD.CMD", {0xEE});
    g_drive_letter = 'D';
    EXPECT_EQ(write_none(0x8000, kThree, 3), 0u);
    EXPECT_EQ(read_rom_plain(0, g_scratch, 4), 4u);
    EXPECT_EQ(read_rom_n64(0, g_scratch, 4), 4u);
    EXPECT_EQ(sim_file('D', "CMD.CMD"), std::vector<std::uint8_t>{0xEE})
        << "the command file was touched";
    EXPECT_EQ(g_scratch[3], 0x42);
}

}  // namespace
