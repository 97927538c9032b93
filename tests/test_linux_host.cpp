// The Linux host's drive map, from fixture mount tables and sysfs trees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/host.h"
#include "host/host_linux.h"

namespace fs = std::filesystem;

namespace {

class LinuxDriveMap : public ::testing::Test {
   protected:
    fs::path root;
    fs::path sysfs;

    void SetUp() override {
        char pattern[] = "/tmp/cartfw-hostXXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        sysfs = root / "sys";
        // sda: a fixed disk with partition sda1; sdb: a removable disk with sdb1.
        make_disk("sda", "8:0", "8:1", 0);
        make_disk("sdb", "8:16", "8:17", 1);
    }

    void TearDown() override { fs::remove_all(root); }

    void make_disk(const std::string& name, const std::string& disk, const std::string& part,
                   int removable) {
        const fs::path dir = sysfs / "devices/pci0/block" / name;
        fs::create_directories(dir / (name + "1"));
        std::ofstream(dir / "removable") << removable << "\n";
        std::ofstream(dir / (name + "1") / "partition") << "1\n";
        fs::create_directories(sysfs / "dev/block");
        fs::create_directory_symlink(dir, sysfs / "dev/block" / disk);
        fs::create_directory_symlink(dir / (name + "1"), sysfs / "dev/block" / part);
    }

    // Lines of "device mount-point".
    void mount_table(const std::vector<std::pair<std::string, std::string>>& mounts) {
        std::ofstream out(root / "mountinfo");
        int id = 20;
        for (const auto& [device, mount_point] : mounts) {
            out << id++ << " 1 " << device << " / " << mount_point
                << " rw,relatime shared:1 - ext4 /dev/x rw\n";
        }
        out.close();
        linux_host_configure((root / "mountinfo").string(), sysfs.string());
    }

    std::vector<std::string> described() {
        std::vector<std::string> out;
        for (const LinuxDrive& d : linux_drive_map()) {
            out.push_back(std::string(1, d.letter) + " " + d.mount_point +
                          (d.removable ? " removable" : " fixed"));
        }
        return out;
    }
};

TEST_F(LinuxDriveMap, MapsAutomountAndBlockMountsInSortedOrder) {
    mount_table({{"8:1", "/"},
                 {"0:21", "/proc"},
                 {"0:50", "/run/media/ann/CARD"},
                 {"8:1", "/data"},
                 {"8:17", "/mnt/usb"},
                 {"0:51", "/media/ann/my\\040stick"},
                 {"8:16", "/srv/whole"}});
    EXPECT_EQ(described(),
              (std::vector<std::string>{"D /data fixed", "E /media/ann/my stick removable",
                                        "F /mnt/usb removable", "G /run/media/ann/CARD removable",
                                        "H /srv/whole removable"}));
    EXPECT_EQ(host_logical_drives(), (1U << 2) | (0x1FU << 3));
    EXPECT_FALSE(host_drive_is_removable("C:"));
    EXPECT_FALSE(host_drive_is_removable("D:"));
    EXPECT_TRUE(host_drive_is_removable("E:"));
    EXPECT_FALSE(host_drive_is_removable("I:"));
}

TEST_F(LinuxDriveMap, LaterMountOnTheSamePointWins) {
    mount_table({{"8:1", "/mnt/a"}, {"8:17", "/mnt/a"}});
    EXPECT_EQ(described(), (std::vector<std::string>{"D /mnt/a removable"}));
}

TEST_F(LinuxDriveMap, KeepsAtMostTwentyThreeDrives) {
    std::vector<std::pair<std::string, std::string>> mounts;
    for (int i = 0; i < 30; ++i) {
        mounts.emplace_back("0:9" + std::to_string(i), "/media/u/m" + std::to_string(100 + i));
    }
    mount_table(mounts);
    const auto& drives = linux_drive_map();
    ASSERT_EQ(drives.size(), 23u);
    EXPECT_EQ(drives.front().letter, 'D');
    EXPECT_EQ(drives.front().mount_point, "/media/u/m100");
    EXPECT_EQ(drives.back().letter, 'Z');
    EXPECT_EQ(drives.back().mount_point, "/media/u/m122");
}

TEST_F(LinuxDriveMap, MissingMountTableMapsNothing) {
    linux_host_configure((root / "absent").string(), sysfs.string());
    EXPECT_TRUE(linux_drive_map().empty());
    EXPECT_EQ(host_logical_drives(), 1U << 2);
}

TEST_F(LinuxDriveMap, FilesAreReachedThroughTheMountPoint) {
    const fs::path mount = root / "mnt";
    fs::create_directories(mount);
    std::string reply(4096, '\0');
    reply.replace(1024, 5, "HELLO");
    std::ofstream(mount / "K-PORTAL.DMP", std::ios::binary) << reply;
    mount_table({{"8:17", mount.string()}});

    const HostFile in = host_open_read("D:\\K-PORTAL.DMP");
    ASSERT_NE(in, kHostNoFile);
    ASSERT_TRUE(host_seek(in, 1024));
    char buffer[2048] = {};
    EXPECT_EQ(host_read(in, buffer, sizeof buffer), 2048);
    EXPECT_STREQ(buffer, "HELLO");
    host_close(in);

    const HostFile out = host_open_write("D:\\CMD.CMD");
    ASSERT_NE(out, kHostNoFile);
    EXPECT_EQ(host_write(out, "abc", 3), 3);
    host_close(out);
    EXPECT_EQ(fs::file_size(mount / "CMD.CMD"), 3u);

    EXPECT_EQ(host_open_read("E:\\K-PORTAL.DMP"), kHostNoFile);
    EXPECT_EQ(host_open_read("D:\\ABSENT"), kHostNoFile);
}

}  // namespace
