#include <cstring>

#include "fixture.h"
#include "updater/entry.h"

namespace {

const std::string kNotice = std::string(kSampleFirmwareNotice) + "\n";
const std::string kPrompt = "press any key to exit.\n";

struct ClassifyCase {
    const char* name;
    const char* identity;  // up to 16 bytes
    Outcome outcome;
    int revision;  // checked for the two NES outcomes
};

class Classify : public DeviceTest, public ::testing::WithParamInterface<ClassifyCase> {};

TEST_P(Classify, FollowsTheTableTopToBottom) {
    const ClassifyCase& c = GetParam();
    std::memcpy(g_device_identity.bytes, c.identity, std::strlen(c.identity));
    int revision = -1;
    EXPECT_EQ(classify_identity(&revision), c.outcome);
    if (c.outcome == Outcome::kOldFirmware || c.outcome == Outcome::kCurrent) {
        EXPECT_EQ(revision, c.revision);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Classify,
    ::testing::Values(ClassifyCase{"Rev302", "NES_PCB02_FW302", Outcome::kOldFirmware, 302},
                      ClassifyCase{"Rev303", "NES_PCB02_FW303", Outcome::kOldFirmware, 303},
                      ClassifyCase{"Rev304", "NES_PCB02_FW304", Outcome::kCurrent, 304},
                      ClassifyCase{"Rev310", "NES_PCB02_FW310", Outcome::kCurrent, 310},
                      ClassifyCase{"Rev3999", "NES_PCB02_FW3999", Outcome::kCurrent, 3999},
                      ClassifyCase{"Rev299", "NES_PCB02_FW299", Outcome::kNotSupported, 0},
                      ClassifyCase{"NonDigitAfter3", "NES_PCB02_FW3x1", Outcome::kOldFirmware, 3},
                      ClassifyCase{"Bootloader", "BOOT0301", Outcome::kBootloader, 0},
                      ClassifyCase{"BootloaderOtherVersion", "BOOT0302", Outcome::kNotSupported, 0},
                      ClassifyCase{"OtherFamily", "GBX_PCB02_FW302", Outcome::kNotSupported, 0},
                      ClassifyCase{"Fc2SameRevision", "FC2_PCB02_FW302", Outcome::kNotSupported, 0},
                      ClassifyCase{"NoDevice", "", Outcome::kNotSupported, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct ParseCase {
    const char* text;
    int value;
};

TEST(ParseRevision, ReadsLikeTheStandardDecimalConversion) {
    const ParseCase cases[] = {{"302", 302},
                               {"  42x", 42},
                               {"-7", -7},
                               {"+15", 15},
                               {"", 0},
                               {"x3", 0},
                               {"99999999999", 2147483647},
                               {"-99999999999", -2147483647 - 1},
                               {"\t\n 8", 8}};
    for (const ParseCase& c : cases) {
        EXPECT_EQ(parse_revision(c.text), c.value) << '"' << c.text << '"';
    }
}

class EntryRun : public DeviceTest {};

TEST_F(EntryRun, NoDevicePrintsAnEmptyIdentity) {
    EXPECT_EQ(run_entry(), 0);
    EXPECT_EQ(sim_console(), kNotice + "Device  not support\n" + kPrompt);
    EXPECT_EQ(sim_char_reads(), 1);
}

TEST_F(EntryRun, UnsupportedFamilyIsInitialisedThenRefused) {
    attach(emu_config(EmuFamily::kGb, "302"));
    EXPECT_EQ(run_entry(), 0);
    EXPECT_EQ(sim_console(), kNotice + "Init GBX_PCB02_FW302 OK\n" +
                                 "Device GBX_PCB02_FW302 not support\n" + kPrompt);
    EXPECT_EQ(sim_char_reads(), 1);
}

TEST_F(EntryRun, CurrentNesFirmwareNeedsNoUpdate) {
    attach(emu_config(EmuFamily::kNes, "304"));
    EXPECT_EQ(run_entry(), 0);
    EXPECT_EQ(sim_console(),
              kNotice + "Init NES_PCB02_FW304 OK\n" + "Firmware not need update 304\n" + kPrompt);
    EXPECT_EQ(command_list(device), (std::vector<std::string>{"1:0E 2:01 4:01 12:01"}));
    EXPECT_TRUE(sim_sleeps().empty());
    EXPECT_EQ(sim_char_reads(), 1);
}

TEST_F(EntryRun, UnreadableIdentityCountsAsNoDevice) {
    attach(emu_config());
    emu_vanish(device);
    EXPECT_EQ(run_entry(), 0);
    EXPECT_EQ(sim_console(), kNotice + "Device  not support\n" + kPrompt);
}

}  // namespace
