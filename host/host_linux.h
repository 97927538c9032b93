// The Linux host's drive map. A drive letter stands for a mounted file
// system: C: is the root file system (never examined by the tool); D:, E:, ...
// go, in sorted order of mount point, to the other mounts that lie under the
// desktop automount roots (/media/ and /run/media/) or are backed by a block
// device, 23 at most. A drive is removable when its mount point lies under an
// automount root or its block device (or the disk it is a partition of) is
// flagged removable in sysfs. The map is taken once per process.
#pragma once

#include <string>
#include <vector>

struct LinuxDrive {
    char letter;
    std::string mount_point;
    bool removable;
};

// Where the mount table and sysfs are read from (by default
// /proc/self/mountinfo and /sys). Forgets any map already taken.
void linux_host_configure(const std::string& mountinfo_path, const std::string& sysfs_root);

// The drive map, taken on first use.
const std::vector<LinuxDrive>& linux_drive_map();
