#include "host/host_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "host/host.h"

namespace {

constexpr std::size_t kMaxDrives = 23;      // D: to Z:
constexpr std::size_t kDirectAlign = 4096;  // buffer alignment for O_DIRECT
constexpr std::size_t kDirectUnit = 512;    // O_DIRECT transfer granularity
constexpr std::uint16_t kDefaultAttribute = 7;

struct LinuxHostState {
    std::string mountinfo = "/proc/self/mountinfo";
    std::string sysfs = "/sys";
    bool mapped = false;
    std::vector<LinuxDrive> drives;
    std::uint16_t attribute = kDefaultAttribute;
};

LinuxHostState& state() {
    static LinuxHostState s;
    return s;
}

bool is_octal(char c) {
    return c >= '0' && c <= '7';
}

// Mount table fields escape blanks and backslashes as \ooo.
std::string unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && is_octal(field[i + 1]) &&
            is_octal(field[i + 2]) && is_octal(field[i + 3])) {
            out += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool under_automount_root(const std::string& mount_point) {
    return mount_point.rfind("/media/", 0) == 0 || mount_point.rfind("/run/media/", 0) == 0;
}

bool read_flag(const std::string& path) {
    std::ifstream in(path);
    int value = 0;
    return in >> value && value == 1;
}

struct Mount {
    std::string mount_point;
    std::string device;  // "major:minor"
};

std::vector<Mount> read_mount_table(const std::string& path) {
    std::vector<Mount> mounts;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mount_point;
        if (fields >> id >> parent >> device >> root >> mount_point) {
            mounts.push_back(Mount{unescape(mount_point), device});
        }
    }
    return mounts;
}

std::vector<LinuxDrive> build_drive_map() {
    const LinuxHostState& s = state();
    // A later mount on the same point hides an earlier one.
    std::map<std::string, std::string> visible;
    for (const Mount& mount : read_mount_table(s.mountinfo)) {
        visible[mount.mount_point] = mount.device;
    }
    std::vector<LinuxDrive> drives;
    for (const auto& [mount_point, device] : visible) {  // sorted by mount point
        if (mount_point == "/")
            continue;
        const std::string block = s.sysfs + "/dev/block/" + device;
        struct stat info {};
        const bool block_backed = ::stat(block.c_str(), &info) == 0;
        const bool automount = under_automount_root(mount_point);
        if (!automount && !block_backed)
            continue;
        const bool removable = automount || (block_backed && (read_flag(block + "/removable") ||
                                                              read_flag(block + "/../removable")));
        if (drives.size() == kMaxDrives)
            break;
        drives.push_back(
            LinuxDrive{static_cast<char>('D' + drives.size()), mount_point, removable});
    }
    return drives;
}

const LinuxDrive* drive_for(char letter) {
    for (const LinuxDrive& drive : linux_drive_map()) {
        if (drive.letter == letter)
            return &drive;
    }
    return nullptr;
}

// "D:\NAME" to the file's path under the drive's mount point.
bool map_path(const char* path, std::string* out) {
    if (path == nullptr || std::strlen(path) < 3 || path[1] != ':')
        return false;
    const LinuxDrive* drive = drive_for(path[0]);
    if (drive == nullptr)
        return false;
    std::string rest = path + 2;
    std::replace(rest.begin(), rest.end(), '\\', '/');
    *out = drive->mount_point + (rest.empty() || rest[0] != '/' ? "/" : "") + rest;
    return true;
}

const char* ansi_for(std::uint16_t attribute) {
    switch (attribute & 0x0F) {
        case 10:
            return "\033[92m";
        case 12:
            return "\033[91m";
        case 14:
            return "\033[93m";
        case 15:
            return "\033[97m";
        case 9:
            return "\033[94m";
        case 11:
            return "\033[96m";
        case 13:
            return "\033[95m";
        default:
            return "\033[0m";
    }
}

void write_all(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t done = ::write(fd, text, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return;
        text += done;
        length -= static_cast<std::size_t>(done);
    }
}

// O_DIRECT refused by this file system: read through the page cache, after
// dropping whatever it holds of the file so the read reaches the device.
void fall_back_to_uncached(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_DIRECT);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

}  // namespace

void linux_host_configure(const std::string& mountinfo_path, const std::string& sysfs_root) {
    state().mountinfo = mountinfo_path;
    state().sysfs = sysfs_root;
    state().mapped = false;
    state().drives.clear();
}

const std::vector<LinuxDrive>& linux_drive_map() {
    if (!state().mapped) {
        state().drives = build_drive_map();
        state().mapped = true;
    }
    return state().drives;
}

std::uint32_t host_logical_drives() {
    std::uint32_t mask = 1U << 2;  // C: is the root file system
    for (const LinuxDrive& drive : linux_drive_map()) {
        mask |= 1U << (drive.letter - 'A');
    }
    return mask;
}

bool host_drive_is_removable(const char* root) {
    if (root == nullptr || std::strlen(root) != 2 || root[1] != ':')
        return false;
    const LinuxDrive* drive = drive_for(root[0]);
    return drive != nullptr && drive->removable;
}

HostFile host_open_write(const char* path) {
    std::string file;
    if (!map_path(path, &file))
        return kHostNoFile;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? kHostNoFile : fd;
}

HostFile host_open_read(const char* path) {
    std::string file;
    if (!map_path(path, &file))
        return kHostNoFile;
    int fd = ::open(file.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    if (fd < 0 && errno == EINVAL) {
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            fall_back_to_uncached(fd);
    }
    return fd < 0 ? kHostNoFile : fd;
}

bool host_seek(HostFile file, std::uint32_t offset) {
    return ::lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) ==
           static_cast<off_t>(offset);
}

long host_read(HostFile file, void* destination, std::size_t count) {
    const int fd = static_cast<int>(file);
    // O_DIRECT wants an aligned buffer and a whole number of sectors.
    const std::size_t size = (count + kDirectUnit - 1) / kDirectUnit * kDirectUnit;
    void* buffer = nullptr;
    if (::posix_memalign(&buffer, kDirectAlign, size == 0 ? kDirectUnit : size) != 0) {
        return -1;
    }
    ssize_t got = ::read(fd, buffer, size);
    if (got < 0 && errno == EINVAL) {
        // Refused O_DIRECT at read time; a failed read leaves the position.
        const off_t position = ::lseek(fd, 0, SEEK_CUR);
        fall_back_to_uncached(fd);
        got = position < 0 ? -1 : ::pread(fd, buffer, size, position);
    }
    if (got > 0) {
        const std::size_t n =
            static_cast<std::size_t>(got) < count ? static_cast<std::size_t>(got) : count;
        std::memcpy(destination, buffer, n);
        got = static_cast<ssize_t>(n);
    }
    std::free(buffer);
    return got < 0 ? -1 : static_cast<long>(got);
}

long host_write(HostFile file, const void* source, std::size_t count) {
    const ssize_t done = ::write(static_cast<int>(file), source, count);
    return done < 0 ? -1 : static_cast<long>(done);
}

void host_close(HostFile file) {
    ::close(static_cast<int>(file));
}

void host_sleep_ms(std::uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

std::uint16_t host_console_attribute() {
    return state().attribute;
}

void host_set_console_attribute(std::uint16_t attribute) {
    state().attribute = attribute;
    if (::isatty(STDOUT_FILENO) == 1) {
        std::fflush(stdout);
        const char* sequence = ansi_for(attribute);
        write_all(STDOUT_FILENO, sequence, std::strlen(sequence));
    }
}

void host_print_text(const char* text, std::size_t length) {
    std::fwrite(text, 1, length, stdout);
    std::fflush(stdout);
}

void host_console_write(const char* text, std::size_t length) {
    std::fflush(stdout);
    write_all(STDOUT_FILENO, text, length);
}

int host_read_char() {
    return std::getchar();
}
