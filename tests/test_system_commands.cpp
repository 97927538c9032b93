#include <cstring>
#include <functional>

#include "commands/system_commands.h"
#include "device_link/device_files.h"
#include "fixture.h"

namespace {

const std::vector<std::uint8_t> kData = [] {
    std::vector<std::uint8_t> bytes(1024);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
    return bytes;
}();

class SystemCommands : public DeviceTest {};

TEST_F(SystemCommands, WriteFlashSplitsIntoChunksInOneWrite) {
    struct Case {
        std::size_t count;
        std::vector<std::pair<std::uint32_t, std::size_t>> chunks;  // address, length
    };
    const Case cases[] = {
        {1024, {{0x08008C00, 256}, {0x08008D00, 256}, {0x08008E00, 256}, {0x08008F00, 256}}},
        {300, {{0x08008C00, 256}, {0x08008D00, 44}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        sim_reset();
        sim_add_drive('D', true);
        g_drive_letter = 'D';
        EXPECT_EQ(write_flash(0x08008C00, kData.data(), c.count), 512 * c.chunks.size());
        const std::vector<std::uint8_t> file = sim_file('D', "CMD.CMD");
        ASSERT_EQ(file.size(), 512 * c.chunks.size());
        for (std::size_t j = 0; j < c.chunks.size(); ++j) {
            const std::uint8_t* s = file.data() + 512 * j;
            std::uint32_t address = 0;
            std::memcpy(&address, s + 3, 4);
            EXPECT_EQ(s[1], 0xF0);
            EXPECT_EQ(s[2], 0xE4);
            EXPECT_EQ(address, c.chunks[j].first);
            EXPECT_EQ(s[7] | s[8] << 8, static_cast<int>(c.chunks[j].second));
            EXPECT_EQ(std::memcmp(s + 12, kData.data() + 256 * j, c.chunks[j].second), 0);
            for (std::size_t i = 12 + c.chunks[j].second; i < 510; ++i) ASSERT_EQ(s[i], 0) << i;
            for (std::size_t i = 9; i < 12; ++i) ASSERT_EQ(s[i], 0) << i;
        }
    }
}

TEST_F(SystemCommands, ChecksumIsReadLowByteFirst) {
    std::vector<std::uint8_t> reply(0x8800, 0);
    reply[0] = 0x34;
    reply[1] = 0x12;
    sim_add_drive('D', true);
    sim_put_file('D', "K-PORTAL.DMP", reply);
    g_drive_letter = 'D';
    bool read = false;
    EXPECT_EQ(read_block_checksum(0x08004000, &read), 0x1234);
    EXPECT_TRUE(read);
}

TEST_F(SystemCommands, UnreadableOrShortChecksumReplyIsZeroAndSaysSo) {
    sim_add_drive('D', true);
    g_drive_letter = 'D';
    bool read = true;
    EXPECT_EQ(read_block_checksum(0x08004000, &read), 0);  // no reply file at all
    EXPECT_FALSE(read);
    sim_put_file('D', "K-PORTAL.DMP", {0x34});  // one byte of two
    read = true;
    EXPECT_EQ(read_block_checksum(0x08004000, &read), 0);
    EXPECT_FALSE(read);
}

TEST_F(SystemCommands, SerialNeedsAWholeReplyAndASentCommand) {
    sim_add_drive('D', true);
    g_drive_letter = 'D';
    std::uint8_t key[8] = {};
    sim_put_file('D', "K-PORTAL.DMP", {1, 2, 3});
    EXPECT_EQ(read_serial(key, 8), 0) << "three bytes are not a serial";
    sim_put_file('D', "K-PORTAL.DMP", {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(read_serial(key, 8), 1);
    EXPECT_EQ(key[7], 8);
    sim_fail_writes('D');
    std::memset(key, 0, sizeof key);
    EXPECT_EQ(read_serial(key, 8), 0);
    EXPECT_EQ(key[0], 0) << "read a reply although the command was not sent";
}

}  // namespace
