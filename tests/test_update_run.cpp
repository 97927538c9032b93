#include <cstring>

#include "fixture.h"
#include "updater/entry.h"
#include "updater/update_run.h"

namespace {

const std::string kNotice = std::string(kSampleFirmwareNotice) + "\n";
const std::string kPrompt = "press any key to exit.\n";
constexpr std::uint32_t kBase = 0x08004000;

// A command as the tests name it: write sectors by address and length, the
// others by the bytes they set.
std::string describe(const EmuSector& s) {
    char text[64];
    if (s.target() == 0xF0 && s.operation() == 0xE4) {
        std::uint32_t address = 0;
        std::memcpy(&address, s.bytes + 3, 4);
        std::snprintf(text, sizeof text, "write %08X+%u", address, s.bytes[7] | s.bytes[8] << 8);
        return text;
    }
    if (s.target() == 0xF0 && (s.operation() == 0xE0 || s.operation() == 0xE2)) {
        std::uint32_t address = 0;
        std::memcpy(&address, s.bytes + 3, 4);
        std::snprintf(text, sizeof text, "%s %08X", s.operation() == 0xE0 ? "erase" : "checksum",
                      address);
        if (set_bytes(s.bytes).find(" 7:") != std::string::npos)
            return set_bytes(s.bytes);
        return text;
    }
    return set_bytes(s.bytes);
}

std::vector<std::string> described(const EmuDevice& device) {
    std::vector<std::string> out;
    for (const EmuSector& s : device.commands) out.push_back(describe(s));
    return out;
}

std::string hex(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", address);
    return text;
}

const std::string kNesInit = "1:0E 2:01 4:01 12:01";
const std::string kBootFlag = "1:F0 2:07 3:42 4:4F 5:4F 6:54";
const std::string kClearFlag = "1:F0 2:07 3:FF 4:FF 5:FF 6:FF";
const std::string kReboot = "1:F0 2:FF";
const std::string kBegin = "1:F0 2:0A";
const std::string kSerial = "1:F0 2:04";

// The flash work of an update in which the blocks in `rewritten` differ.
std::vector<std::string> flash_work(const std::vector<int>& rewritten) {
    std::vector<std::string> out = {"checksum " + hex(kBase), "erase " + hex(kBase),
                                    "checksum " + hex(kBase)};
    for (int b = 19; b >= 0; --b) {
        const std::uint32_t address = kBase + 1024 * static_cast<std::uint32_t>(b);
        out.push_back("checksum " + hex(address));
        if (std::find(rewritten.begin(), rewritten.end(), b) == rewritten.end())
            continue;
        out.push_back("erase " + hex(address));
        for (std::uint32_t j = 0; j < 4; ++j)
            out.push_back("write " + hex(address + 256 * j) + "+256");
        out.push_back("checksum " + hex(address));
    }
    return out;
}

std::vector<int> all_blocks() {
    std::vector<int> blocks;
    for (int b = 0; b < 20; ++b) blocks.push_back(b);
    return blocks;
}

std::string checksum_text(const std::uint8_t* block, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, emu_block_checksum(block));
    return text;
}

const std::uint8_t kErased[1024] = {
#define F8 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF
#define F64 F8, F8, F8, F8, F8, F8, F8, F8
#define F512 F64, F64, F64, F64, F64, F64, F64, F64
    F512, F512};

class UpdateRun : public DeviceTest {
   protected:
    std::vector<std::uint8_t> old_flash() const { return emu_old_flash(pristine_image()); }

    long count_events(EmuEvent::Kind kind, EmuFile file) const {
        long n = 0;
        for (const EmuEvent& e : device.events) n += e.kind == kind && e.file == file;
        return n;
    }

    bool flash_is_right() const {
        return std::equal(device.flash.begin(), device.flash.end(), pristine_image().begin());
    }
};

TEST_F(UpdateRun, SwitchFirstFromRevision302UpdatesEveryBlock) {
    attach(emu_config(EmuFamily::kNes, "302"));
    const std::vector<std::uint8_t> old = old_flash();
    EXPECT_EQ(run_entry(), 0);

    std::vector<std::string> expected = {kNesInit, kBootFlag, kReboot, kBegin, kSerial};
    for (const std::string& line : flash_work(all_blocks())) expected.push_back(line);
    expected.push_back(kClearFlag);
    expected.push_back(kReboot);
    EXPECT_EQ(described(device), expected);
    EXPECT_EQ(device.bad_sectors, 0);

    Transcript expected_console;
    expected_console
        .plain(kNotice + "Init NES_PCB02_FW302 OK\n" + "Current firmware ver is : 302\n")
        .green("Try to reboot device to bootloader\n")
        .plain("Please wait......\n")
        .green("Start update firmware.\n")
        .plain("SN:13579BDF\n")
        .plain("Erase block 0 (" + checksum_text(old.data(), "%.4X") + ").\n")
        .plain("Erase block 0 finished " + checksum_text(kErased, "%.4X") + "\n");
    for (int b = 19; b >= 0; --b) {
        // Block 0 was erased before the loop.
        const std::uint8_t* before = b == 0 ? kErased : old.data() + 1024 * b;
        expected_console
            .plain("Update block " + std::to_string(b) + " (" + checksum_text(before, "%.4x") +
                   ")\r")
            .green(": success");
    }
    expected_console.green("\nUpdate firmware success.\n").plain(kPrompt);
    EXPECT_EQ(sim_console(), expected_console.str());

    std::vector<std::uint32_t> sleeps = {1000, 5000};
    sleeps.insert(sleeps.end(), 20, 300);
    EXPECT_EQ(sim_sleeps(), sleeps);

    EXPECT_TRUE(flash_is_right());
    EXPECT_FALSE(device.bootloader);
    EXPECT_EQ(current_image(), pristine_image());
    RecordProperty("command_writes",
                   static_cast<int>(count_events(EmuEvent::kWrite, EmuFile::kCommand)));
    RecordProperty("reply_reads", static_cast<int>(count_events(EmuEvent::kRead, EmuFile::kReply)));
    // One write per command (a block's four sectors in one), one read per reply.
    EXPECT_EQ(count_events(EmuEvent::kWrite, EmuFile::kCommand), 90);
    EXPECT_EQ(count_events(EmuEvent::kRead, EmuFile::kReply), 1 + 1 + 2 + 40);

    // Run again, as the user would: the device now reports the new revision.
    sim_reset();
    startup_reset();
    sim_attach_device('D', &device);
    EXPECT_EQ(run_entry(), 0);
    EXPECT_EQ(sim_console(),
              kNotice + "Init NES_PCB02_FW305 OK\n" + "Firmware not need update 305\n" + kPrompt);
}

TEST_F(UpdateRun, UpdateNowFromTheBootloader) {
    EmuConfig config = emu_config();
    config.bootloader = true;
    attach(config);
    EXPECT_EQ(run_entry(), 0);
    std::vector<std::string> expected = {kBegin, kSerial};
    for (const std::string& line : flash_work(all_blocks())) expected.push_back(line);
    expected.push_back(kClearFlag);
    expected.push_back(kReboot);
    EXPECT_EQ(described(device), expected);
    const std::string console = sim_console();
    EXPECT_EQ(console.rfind(kNotice + "[10]Start update firmware.\n[/]SN:13579BDF\n", 0), 0u)
        << console;
    EXPECT_NE(console.find("\nUpdate firmware success.\n[/]" + kPrompt), std::string::npos);
    EXPECT_EQ(sim_sleeps(), std::vector<std::uint32_t>(20, 300));
    EXPECT_TRUE(flash_is_right());
    EXPECT_FALSE(device.bootloader);
    EXPECT_EQ(device.revision, "305");
}

TEST_F(UpdateRun, SecondUpdateRewritesOnlyBlockZero) {
    EmuConfig config = emu_config();
    config.bootloader = true;
    config.flash = pristine_image();
    attach(config);
    g_drive_letter = 'D';
    update_now();
    std::vector<std::string> expected = {kBegin, kSerial};
    for (const std::string& line : flash_work({0})) expected.push_back(line);
    expected.push_back(kClearFlag);
    expected.push_back(kReboot);
    EXPECT_EQ(described(device), expected);

    Transcript expected_tail;
    for (int b = 19; b >= 1; --b)
        expected_tail.green("Update block " + std::to_string(b) + " success\r");
    expected_tail.plain("Update block 0 (" + checksum_text(kErased, "%.4x") + ")\r")
        .green(": success")
        .green("\nUpdate firmware success.\n");
    const std::string tail = expected_tail.str();
    const std::string console = sim_console();
    ASSERT_GE(console.size(), tail.size());
    EXPECT_EQ(console.substr(console.size() - tail.size()), tail);
    EXPECT_EQ(sim_sleeps(), std::vector<std::uint32_t>{300});
    EXPECT_TRUE(flash_is_right());
}

TEST_F(UpdateRun, BytesOnTheWireAreTheImageMaskedWithTheSerial) {
    EmuConfig config = emu_config();
    config.bootloader = true;
    config.serial = {0x01, 0x80, 0x7F, 0xFE, 0x00, 0x55, 0xAA, 0xC3};
    attach(config);
    g_drive_letter = 'D';
    update_now();
    std::size_t checked = 0;
    for (const EmuSector& s : device.commands) {
        if (s.target() != 0xF0 || s.operation() != 0xE4)
            continue;
        std::uint32_t address = 0;
        std::memcpy(&address, s.bytes + 3, 4);
        for (std::size_t i = 0; i < 256; ++i) {
            const std::size_t k = address - kBase + i;
            ASSERT_EQ(s.bytes[12 + i], pristine_image()[k] ^ config.serial[k % 8]) << "byte " << k;
            ++checked;
        }
    }
    EXPECT_EQ(checked, kFirmwareImageSize);
    EXPECT_EQ(current_image(), pristine_image());
}

TEST_F(UpdateRun, BlockThatNeverVerifiesStillLetsLaterBlocksRunAndEndsInFailure) {
    EmuConfig config = emu_config();
    config.bootloader = true;
    attach(config);
    device.faults.never_verify_block = 7;
    g_drive_letter = 'D';
    update_now();

    // Blocks 6 to 0 were still written after block 7 failed.
    for (int b = 6; b >= 0; --b) {
        EXPECT_TRUE(std::equal(device.flash.begin() + 1024 * b,
                               device.flash.begin() + 1024 * (b + 1),
                               pristine_image().begin() + 1024 * b) ||
                    b == 0)
            << "block " << b;
    }
    const std::vector<std::string> commands = described(device);
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands.back(), "erase " + hex(kBase)) << "block 0 is erased again, nothing after";
    EXPECT_EQ(std::count(commands.begin(), commands.end(), kReboot), 0);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), kClearFlag), 0);
    EXPECT_TRUE(std::equal(device.flash.begin(), device.flash.begin() + 1024, kErased));

    const std::string console = sim_console();
    EXPECT_NE(console.find("[12]\nUpdate block 7 failure\n[/]"), std::string::npos) << console;
    EXPECT_NE(console.find("Update block 6 ("), std::string::npos);
    const std::string ending = "[12]\nUpdate firmware failure.try again\n[/]";
    EXPECT_EQ(console.substr(console.size() - ending.size()), ending);
    EXPECT_EQ(console.find("Update firmware success"), std::string::npos);
    EXPECT_EQ(current_image(), pristine_image());
}

TEST_F(UpdateRun, UnreadableChecksumNeverVerifiesEvenAgainstZero) {
    EmuConfig config = emu_config();
    config.bootloader = true;
    config.flash = pristine_image();
    attach(config);
    // begin (1), serial write (2), serial read (3): every later reply fails.
    device.faults.reply_unreadable_after = 3;
    const FirmwareImageSet saved = g_firmware;
    std::fill(std::begin(g_firmware.checksums), std::end(g_firmware.checksums), 0);
    g_drive_letter = 'D';
    update_now();
    g_firmware = saved;

    const std::string console = sim_console();
    EXPECT_EQ(console.find("success"), std::string::npos) << console;
    EXPECT_NE(console.find("[12]\nUpdate block 19 failure\n[/]"), std::string::npos);
    EXPECT_NE(console.find("\nUpdate block 0 failure\n\nUpdate firmware failure.try again\n[/]"),
              std::string::npos);
    const std::vector<std::string> commands = described(device);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), kReboot), 0);
    EXPECT_EQ(current_image(), pristine_image());
}

struct FailureCase {
    const char* name;
    bool bootloader;
    int fail_operation;           // command write that fails
    long reply_unreadable_after;  // -1: replies readable
    std::string console_tail;     // what the run ends with, before the prompt
    std::vector<std::uint32_t> sleeps;
    bool boot_flag_set;      // "BOOT" on the device afterwards
    bool still_application;  // the device was not rebooted
};

class UpdateFailure : public UpdateRun, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpdateFailure, LeavesDeviceAndImageAsTheTableSays) {
    const FailureCase& c = GetParam();
    EmuConfig config = emu_config();
    config.bootloader = c.bootloader;
    attach(config);
    device.faults.fail_operation = c.fail_operation;
    device.faults.reply_unreadable_after = c.reply_unreadable_after;
    const std::vector<std::uint8_t> flash_before(device.flash.begin(), device.flash.end());
    EXPECT_EQ(run_entry(), 0);

    const std::string console = sim_console();
    const std::string tail = c.console_tail + kPrompt;
    ASSERT_GE(console.size(), tail.size()) << console;
    EXPECT_EQ(console.substr(console.size() - tail.size()), tail);
    EXPECT_EQ(sim_sleeps(), c.sleeps);
    EXPECT_EQ(std::vector<std::uint8_t>(device.flash.begin(), device.flash.end()), flash_before)
        << "flash touched";
    const bool boot_flag_set = std::memcmp(device.boot_flag.data(), "BOOT", 4) == 0;
    EXPECT_EQ(boot_flag_set, c.boot_flag_set);
    EXPECT_EQ(!device.bootloader, c.still_application);
    EXPECT_EQ(current_image(), pristine_image());
    for (const EmuSector& s : device.commands) {
        EXPECT_FALSE(s.target() == 0xF0 && (s.operation() == 0xE0 || s.operation() == 0xE4))
            << "flash work after a failure: " << describe(s);
    }
}

// Columns: name, start in the bootloader, failing command write, replies
// unreadable after N exchanges, how the run ends, sleeps, "BOOT" left in the
// boot flag, still running the application.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, UpdateFailure,
    ::testing::Values(
        FailureCase{"BootFlagNotSent", false, 0x07, -1,
                    "[12]set bootloader error.\n[/]", {}, false, true},
        FailureCase{"RebootNotSent", false, 0xFF, -1,
                    "[12]set reboot error.\n[/]", {1000}, true, true},
        FailureCase{"BeginUpdateNotSent", true, 0x0A, -1,
                    "[10]Start update firmware.\n[/][12]update init error.\n[/]", {}, false, false},
        FailureCase{"SerialNotRead", true, -1, 0,
                    "[10]Start update firmware.\n[/][12]read serial number error.\n[/]", {}, false, false},
        FailureCase{"SerialNotReadAfterSwitch", false, -1, 0,
                    "[10]Start update firmware.\n[/][12]read serial number error.\n[/]", {1000, 5000}, true, false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on });

}  // namespace
