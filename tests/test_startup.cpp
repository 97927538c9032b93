#include <cstring>

#include "commands/cartridge_ops.h"
#include "device_link/device_files.h"
#include "fixture.h"

namespace {

struct FamilyCase {
    const char* name;
    EmuFamily family;
    int fc_flag;
    std::vector<std::string> init;  // the sectors the device received
    std::uint32_t start_address;
    std::uint32_t vector_address;
    ReadOperation read;
    WriteOperation write;
    bool has_parameter_and_info;  // otherwise both keep the default
    bool has_trace;
};

class StartupFamily : public DeviceTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(StartupFamily, SendsInitialisationAndInstallsOperations) {
    const FamilyCase& c = GetParam();
    attach(emu_config(c.family, "302"));
    g_operations.start_address = 0x1234;  // PCE leaves the addresses as they were
    g_operations.vector_address = 0x5678;
    EXPECT_EQ(device_startup(0, c.fc_flag), 1);
    EXPECT_EQ(command_list(device), c.init);
    // GB: two separate command-file writes.
    long writes = 0;
    for (const EmuEvent& e : device.events) writes += e.kind == EmuEvent::kWrite;
    EXPECT_EQ(writes, static_cast<long>(c.init.size()));
    EXPECT_EQ(device.bad_sectors, 0);

    const std::string id(reinterpret_cast<const char*>(emu_identity(device).data()));
    EXPECT_EQ(sim_console(), "Init " + id + " OK\n");
    EXPECT_EQ(g_operations.start_address, c.start_address);
    EXPECT_EQ(g_operations.vector_address, c.vector_address);
    EXPECT_EQ(g_operations.read, c.read);
    EXPECT_EQ(g_operations.write, c.write);
    EXPECT_EQ(g_operations.spare, &report_not_initialised);
    if (c.has_parameter_and_info) {
        EXPECT_EQ(g_operations.parameter, &send_fc_parameter);
        EXPECT_EQ(g_operations.info, &report_nes_header);
    } else {
        EXPECT_EQ(g_operations.info, &report_not_initialised);
        // The default parameter slot prints the two-line message and returns 0.
        sim_reset();
        EXPECT_EQ(g_operations.parameter(7), 0u);
        EXPECT_EQ(sim_console(), "please init device first\nget more infomation,type h[enter].\n");
    }
    if (c.has_trace) {
        EXPECT_EQ(g_operations.trace, &trace_block);
    } else {
        sim_reset();
        const std::uint8_t block[256] = {};
        EXPECT_EQ(g_operations.trace(block, 0), 0);
        EXPECT_EQ(sim_console(), "please init device first\nget more infomation,type h[enter].\n");
    }
}

// Columns: family, FC flag given, sectors received, start and vector address,
// read and write slots, FC parameter and info slots, trace slot.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Families, StartupFamily,
    ::testing::Values(
        FamilyCase{"GB", EmuFamily::kGb, 0, {"1:F0 2:03", "1:03 2:01"}, 0, 0,
                   read_rom_gb, write_none, false, false},
        FamilyCase{"N64", EmuFamily::kN64, 0, {"1:10 2:01"}, 0x10000000, 0x10000000,
                   read_rom_n64, write_none, false, false},
        FamilyCase{"SFC", EmuFamily::kSfc, 0, {"1:0F 2:01"}, 0x8000, 0xFFFC,
                   read_rom_sfc, write_sfc_bytes, false, true},
        FamilyCase{"FC2FlagClear", EmuFamily::kFc2, 0, {"1:0E 2:01"}, 0x8000, 0xFFFC,
                   read_rom_plain, write_fc2_blocks, true, true},
        FamilyCase{"FC2FlagSet", EmuFamily::kFc2, 5, {"1:0E 2:01 4:01 12:01"}, 0x8000, 0xFFFC,
                   read_rom_plain, write_fc2_blocks, true, true},
        FamilyCase{"NES", EmuFamily::kNes, 0, {"1:0E 2:01 4:01 12:01"}, 0x8000, 0xFFFC,
                   read_rom_plain, write_nes_bytes, true, true},
        FamilyCase{"PCE", EmuFamily::kPce, 0, {"1:11 2:01"}, 0x1234, 0x5678,
                   read_rom_plain, write_pce_bytes, false, true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

class Startup : public DeviceTest {};

TEST_F(Startup, DefaultsPrintTheTwoLineMessageInEverySlot) {
    EXPECT_EQ(device_startup(0, 0), 0);
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(g_operations.read(0, buffer, 16), 0u);
    EXPECT_EQ(g_operations.write(0, buffer, 16), 0u);
    g_operations.info();
    g_operations.spare();
    const std::string twice = "please init device first\nget more infomation,type h[enter].\n";
    EXPECT_EQ(sim_console(), twice + twice + twice + twice);
}

TEST_F(Startup, BootloaderIsFoundButNotInitialised) {
    EmuConfig config = emu_config();
    config.bootloader = true;
    attach(config);
    EXPECT_EQ(device_startup(0, 0), 0);
    EXPECT_EQ(std::memcmp(g_device_identity.bytes, "BOOT0301", 8), 0);
    EXPECT_EQ(g_drive_letter, 'D');
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(sim_console(), "");
    EXPECT_EQ(g_operations.info, &report_not_initialised);
}

TEST_F(Startup, NoDeviceLeavesTheIdentityEmpty) {
    sim_add_drive('E', true);  // removable, but no reply file
    EXPECT_EQ(device_startup(0, 0), 0);
    EXPECT_EQ(g_device_identity.bytes[0], 0);
    EXPECT_EQ(g_drive_letter, 'E') << "the last letter present stays selected";
    EXPECT_EQ(sim_console(), "");
}

TEST_F(Startup, ScanSkipsABCAndNonRemovableAndTakesTheFirstDevice) {
    EmuDevice on_a, on_c, fixed_e, on_f, on_g;
    for (EmuDevice* d : {&on_a, &on_c, &fixed_e, &on_f, &on_g}) emu_init(*d, emu_config());
    sim_attach_device('A', &on_a);
    sim_attach_device('C', &on_c);
    sim_attach_device('E', &fixed_e, false);
    sim_attach_device('F', &on_f);
    sim_attach_device('G', &on_g);
    EXPECT_EQ(scan_drives(), 1);
    EXPECT_EQ(g_drive_letter, 'F');
    EXPECT_EQ(sim_type_queries(), (std::vector<std::string>{"E:", "F:"}));
    EXPECT_TRUE(on_a.events.empty());
    EXPECT_TRUE(on_c.events.empty());
    EXPECT_TRUE(fixed_e.events.empty()) << "a fixed drive must not be read";
    EXPECT_TRUE(on_g.events.empty());
}

TEST_F(Startup, FirstReadableDriveWinsEvenWithAnUnknownIdentity) {
    std::vector<std::uint8_t> reply(0x8800, 0);
    std::memcpy(reply.data() + 0x8000, "SOMETHING_ELSE", 14);
    sim_add_drive('D', true);
    sim_put_file('D', "K-PORTAL.DMP", reply);
    attach(emu_config(), 'E');
    EXPECT_EQ(device_startup(0, 0), 0);
    EXPECT_EQ(g_drive_letter, 'D');
    EXPECT_STREQ(identity_text(), "SOMETHING_ELSE");
    EXPECT_TRUE(device.events.empty());
}

TEST_F(Startup, ProbeUsesTheGivenLetterRegardlessOfTheMask) {
    attach(emu_config(), 'K');
    EXPECT_EQ(device_startup('K', 0), 1);
    EXPECT_EQ(g_drive_letter, 'K');
    EXPECT_EQ(sim_type_queries(), (std::vector<std::string>{"K:"}));
}

TEST_F(Startup, IdentityIsReadOnceWithOneWidenedRead) {
    attach(emu_config());
    device_startup(0, 0);
    const std::vector<std::string> log = exchange_log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "open K-PORTAL.DMP");
    EXPECT_EQ(log[1], "read K-PORTAL.DMP 32768+2048");
    EXPECT_EQ(log[2], "close K-PORTAL.DMP");
}

TEST(FamilyTable, EveryRowIsCompleteAndTagsAreDistinct) {
    for (std::size_t i = 0; i < kFamilyCount; ++i) {
        const FamilyRow& row = kFamilyTable[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(std::strlen(row.tag), kFamilyTagSize);
        EXPECT_NE(row.init[0].target, 0);
        EXPECT_EQ(row.init[0].operation == 0x03 ? row.init[1].operation : row.init[0].operation,
                  0x01);
        EXPECT_NE(row.read, nullptr);
        EXPECT_NE(row.write, nullptr);
        for (std::size_t j = i + 1; j < kFamilyCount; ++j) {
            EXPECT_NE(std::strcmp(row.tag, kFamilyTable[j].tag), 0);
        }
    }
}

}  // namespace
