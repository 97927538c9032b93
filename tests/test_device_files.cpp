#include <cstring>

#include "device_link/device_files.h"
#include "fixture.h"

namespace {

std::vector<std::uint8_t> counting_bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return bytes;
}

TEST(SectorSeal, MatchesTheXmodemCheckValue) {
    const char* text = "123456789";
    EXPECT_EQ(sector_crc16(reinterpret_cast<const std::uint8_t*>(text), 9), 0x31C3);
}

TEST(SectorSeal, ZeroSectorGetsMarkerAndCrcHighByteFirst) {
    CommandSector sector = {};
    seal_sector(sector.bytes);
    std::uint8_t expected_input[510] = {'Z'};
    const std::uint16_t crc = sector_crc16(expected_input, 510);
    EXPECT_EQ(sector.bytes[0], 'Z');
    EXPECT_EQ(sector.bytes[510], crc >> 8);
    EXPECT_EQ(sector.bytes[511], crc & 0xFF);
    EXPECT_EQ(set_bytes(sector.bytes), "");
}

class DeviceFiles : public DeviceTest {};

TEST_F(DeviceFiles, SendingFourSectorsSealsEachAndWritesOnce) {
    attach(emu_config());
    g_drive_letter = 'D';
    std::vector<std::uint8_t> buffer(2048, 0);
    for (int s = 0; s < 4; ++s) {
        buffer[s * 512 + 1] = 0xF0;
        buffer[s * 512 + 2] = 0x0A;
        buffer[s * 512 + 3] = static_cast<std::uint8_t>(s);
    }
    EXPECT_EQ(send_command_sectors(buffer.data(), buffer.size()), 2048u);
    EXPECT_EQ(exchange_log(),
              (std::vector<std::string>{"open CMD.CMD", "write CMD.CMD 2048", "close CMD.CMD"}));
    EXPECT_EQ(device.bad_sectors, 0);
    EXPECT_EQ(command_list(device), (std::vector<std::string>{"1:F0 2:0A", "1:F0 2:0A 3:01",
                                                              "1:F0 2:0A 3:02", "1:F0 2:0A 3:03"}));
}

TEST_F(DeviceFiles, ZeroLengthCreatesAnEmptyCommandFileAndReturnsZero) {
    sim_add_drive('D', true);
    sim_put_file('D', "CMD.CMD", {1, 2, 3});
    g_drive_letter = 'D';
    std::uint8_t unused = 0;
    EXPECT_EQ(send_command_sectors(&unused, 0), 0u);
    EXPECT_TRUE(sim_file('D', "CMD.CMD").empty());
    EXPECT_EQ(unused, 0);
}

TEST_F(DeviceFiles, FailedWriteReturnsZero) {
    sim_add_drive('D', true);
    sim_fail_writes('D');
    g_drive_letter = 'D';
    CommandSector sector = {};
    EXPECT_EQ(send_command_sectors(sector.bytes, sizeof sector.bytes), 0u);
}

struct ReadCase {
    const char* name;
    std::uint32_t offset;
    std::size_t count;
    std::uint32_t read_at;  // where the host read started
    std::size_t read_size;  // how much it asked for
    std::uint32_t first;    // file offset of the first delivered byte
};

class ReadWidening : public DeviceTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadWidening, ReadsFromTheBoundaryAndDeliversTheRequest) {
    const ReadCase& c = GetParam();
    const std::vector<std::uint8_t> file = counting_bytes(0x10000);
    sim_add_drive('D', true);
    sim_put_file('D', "K-PORTAL.DMP", file);
    g_drive_letter = 'D';
    std::vector<std::uint8_t> out(c.count + 8, 0xEE);
    EXPECT_EQ(read_reply(c.offset, out.data(), c.count), c.count);
    ASSERT_EQ(sim_reads().size(), 1u);
    EXPECT_EQ(sim_reads()[0].path, "D:\\K-PORTAL.DMP");
    EXPECT_EQ(sim_reads()[0].offset, c.read_at);
    EXPECT_EQ(sim_reads()[0].size, c.read_size);
    EXPECT_TRUE(
        std::equal(out.begin(), out.begin() + static_cast<long>(c.count), file.begin() + c.first));
    EXPECT_EQ(out[c.count], 0xEE) << "wrote past the requested count";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadWidening,
    ::testing::Values(ReadCase{"Identity", 0x8000, 16, 0x8000, 2048, 0x8000},
                      ReadCase{"TwoReplyBytes", 0, 2, 0, 2048, 0},
                      ReadCase{"IdentityPlusOne", 0x8001, 16, 0x8000, 2048, 0x8001},
                      ReadCase{"EndOfScratch", 0x83FF, 1024 - 1, 0x8000, 2048, 0x83FF},
                      ReadCase{"DirectLargeRead", 0, 2048, 0, 2048, 0},
                      ReadCase{"DirectAtBoundary", 0x400, 1024, 0x400, 1024, 0x400}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceFiles, ShortFileDeliversOnlyBytesReallyRead) {
    // 0x8005 bytes: only five identity bytes exist past 0x8000.
    std::vector<std::uint8_t> file(0x8005, 0);
    std::memcpy(file.data() + 0x8000, "ABCDE", 5);
    sim_add_drive('D', true);
    sim_put_file('D', "K-PORTAL.DMP", file);
    g_drive_letter = 'D';
    std::uint8_t out[16];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(read_reply(0x8000, out, 16), 5u);
    EXPECT_EQ(std::memcmp(out, "ABCDE", 5), 0);
    EXPECT_EQ(out[5], 0xEE) << "delivered scratch bytes that were never read";
    // Past the end of the file nothing is delivered at all.
    EXPECT_EQ(read_reply(0x8010, out, 4), 0u);
}

TEST_F(DeviceFiles, EmptyFileAndMissingFileDeliverNothing) {
    sim_add_drive('D', true);
    sim_put_file('D', "K-PORTAL.DMP", {});
    g_drive_letter = 'D';
    std::uint8_t out[4] = {};
    EXPECT_EQ(read_reply(0, out, 2), 0u);
    EXPECT_EQ(read_data(0, out, 2), 0u);
    EXPECT_EQ(read_reply(0, nullptr, 2), 0u);
}

TEST_F(DeviceFiles, ShortLargeReadReturnsTheCountRead) {
    sim_add_drive('D', true);
    sim_put_file('D', "DUMP.ROM", counting_bytes(3000));
    g_drive_letter = 'D';
    std::vector<std::uint8_t> out(4096);
    EXPECT_EQ(read_data(2048, out.data(), 2048), 952u);
}

TEST_F(DeviceFiles, VanishedDriveSendsAndReadsNothing) {
    attach(emu_config());
    g_drive_letter = 'D';
    emu_vanish(device);
    CommandSector sector = {};
    std::uint8_t out[16] = {};
    EXPECT_EQ(send_command_sectors(sector.bytes, sizeof sector.bytes), 0u);
    EXPECT_EQ(read_reply(0x8000, out, 16), 0u);
    EXPECT_EQ(read_data(0, out, 16), 0u);
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(DeviceFiles, PathsUseTheSelectedDriveLetter) {
    g_drive_letter = 'Q';
    char path[kPathSize];
    device_path(path, kCommandFileFormat);
    EXPECT_STREQ(path, "Q:\\CMD.CMD");
    device_path(path, kReplyFileFormat);
    EXPECT_STREQ(path, "Q:\\K-PORTAL.DMP");
    device_path(path, kDataFileFormat);
    EXPECT_STREQ(path, "Q:\\DUMP.ROM");
}

}  // namespace
