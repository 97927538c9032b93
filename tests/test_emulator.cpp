// The emulator is the tests' stand-in for the hardware; these check that it
// behaves as the device does, so that the other tests mean something.
#include <cstring>

#include "fixture.h"

namespace {

// A sector sealed by the emulator's own rules, independent of the tool.
std::vector<std::uint8_t> sealed(std::uint8_t target, std::uint8_t op,
                                 std::initializer_list<std::pair<int, std::uint8_t>> set = {}) {
    std::vector<std::uint8_t> s(512, 0);
    s[0] = 'Z';
    s[1] = target;
    s[2] = op;
    for (const auto& [at, value] : set) s[static_cast<std::size_t>(at)] = value;
    emu_seal(s.data());
    return s;
}

TEST(Emulator, ChecksumsAreTheDocumentedCrcs) {
    const auto* text = reinterpret_cast<const std::uint8_t*>("123456789");
    EXPECT_EQ(emu_crc16(text, 9, 0xFFFF), 0x29B1);  // CRC-16/CCITT-FALSE check value
    EXPECT_EQ(emu_crc16(text, 9, 0), 0x31C3);       // CRC-16/XMODEM check value
    std::uint8_t block[1024];
    std::memset(block, 0xFF, sizeof block);
    EXPECT_EQ(emu_block_checksum(block), emu_crc16(block, sizeof block, 0xFFFF));
}

TEST(Emulator, SampleChecksumsAreTheDevicesChecksumsOfTheImage) {
    for (std::size_t b = 0; b < kFirmwareBlockCount; ++b) {
        EXPECT_EQ(emu_block_checksum(pristine_image().data() + b * 1024), g_firmware.checksums[b])
            << "block " << b;
    }
}

TEST(Emulator, BadSealIsIgnoredAndCounted) {
    EmuDevice device;
    emu_init(device, emu_config());
    std::vector<std::uint8_t> batch = sealed(0xF0, 0x04);
    std::vector<std::uint8_t> broken = sealed(0xF0, 0x07);
    broken[511] ^= 1;
    batch.insert(batch.end(), broken.begin(), broken.end());
    std::vector<std::uint8_t> unmarked = sealed(0xF0, 0x0A);
    unmarked[0] = 'Y';
    batch.insert(batch.end(), unmarked.begin(), unmarked.end());
    ASSERT_TRUE(emu_open(device, EmuFile::kCommand, true));
    EXPECT_EQ(emu_write(device, EmuFile::kCommand, batch.data(), batch.size()), 1536);
    emu_close(device, EmuFile::kCommand);
    EXPECT_EQ(device.bad_sectors, 2);
    ASSERT_EQ(device.commands.size(), 1u);
    EXPECT_EQ(device.commands[0].operation(), 0x04);
    std::uint8_t reply[8];
    EXPECT_EQ(emu_read(device, EmuFile::kReply, 0, reply, 8), 8);
    EXPECT_EQ(std::memcmp(reply, device.config.serial.data(), 8), 0);
}

TEST(Emulator, BootFlagAndRebootSwitchBetweenApplicationAndBootloader) {
    EmuDevice device;
    emu_init(device, emu_config());
    auto send = [&](std::vector<std::uint8_t> sector) {
        emu_open(device, EmuFile::kCommand, true);
        emu_write(device, EmuFile::kCommand, sector.data(), sector.size());
        emu_close(device, EmuFile::kCommand);
    };
    auto identity = [&] {
        return std::string(reinterpret_cast<const char*>(emu_identity(device).data()), 15);
    };
    EXPECT_EQ(identity(), "NES_PCB02_FW302");
    // Flash commands are not taken by the application.
    send(sealed(0xF0, 0xE0));
    EXPECT_EQ(device.unknown_commands, 1);

    const std::vector<std::uint8_t> boot =
        sealed(0xF0, 0x07, {{3, 'B'}, {4, 'O'}, {5, 'O'}, {6, 'T'}});
    send(boot);
    send(sealed(0xF0, 0xFF));
    EXPECT_TRUE(device.bootloader);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(emu_identity(device).data())), "BOOT0301");

    // Cleared flag, block 0 erased: the bootloader stays.
    device.boot_flag.fill(0xFF);
    std::fill_n(device.flash.begin(), 1024, 0xFF);
    emu_reboot(device);
    EXPECT_TRUE(device.bootloader);

    // Right content: the application with the new revision.
    std::copy(pristine_image().begin(), pristine_image().end(), device.flash.begin());
    emu_reboot(device);
    EXPECT_FALSE(device.bootloader);
    EXPECT_EQ(identity(), "NES_PCB02_FW305");
}

TEST(Emulator, VanishAfterCountsExchanges) {
    EmuDevice device;
    emu_init(device, emu_config());
    device.faults.vanish_after = 1;
    EXPECT_TRUE(emu_open(device, EmuFile::kReply, false));
    emu_close(device, EmuFile::kReply);
    EXPECT_FALSE(emu_open(device, EmuFile::kReply, false));
    std::uint8_t byte;
    EXPECT_EQ(emu_read(device, EmuFile::kReply, 0x8000, &byte, 1), -1);
}

}  // namespace
