// cartfw-emu: the device emulator as a drive. Mounts a folder presenting
// "CMD.CMD", "K-PORTAL.DMP" and "DUMP.ROM" backed by the emulator library,
// with direct I/O on every file so that no read is answered from a cache and
// each command-file write is processed before the write returns.
#define FUSE_USE_VERSION 31

#include <fuse.h>
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "data/firmware_image.h"
#include "emulator/emulator.h"
#include "emulator/emulator_state.h"

namespace {

struct EmuDrive {
    EmuDevice device;
    std::string state_path;
    std::FILE* log = nullptr;
    std::size_t logged_events = 0;
    std::size_t logged_commands = 0;
    std::mutex lock;
};

EmuDrive g_drive;

void flush_log() {
    EmuDevice& device = g_drive.device;
    if (g_drive.log != nullptr) {
        for (; g_drive.logged_events < device.events.size(); ++g_drive.logged_events) {
            std::fprintf(g_drive.log, "%s\n",
                         emu_event_json(device.events[g_drive.logged_events]).c_str());
        }
        for (; g_drive.logged_commands < device.commands.size(); ++g_drive.logged_commands) {
            std::fprintf(g_drive.log, "%s\n",
                         emu_command_json(device.commands[g_drive.logged_commands]).c_str());
        }
        std::fflush(g_drive.log);
    }
    // Nothing else needs them; keep memory flat over long sessions.
    device.events.clear();
    device.commands.clear();
    g_drive.logged_events = 0;
    g_drive.logged_commands = 0;
}

EmuFile file_of(const char* path) {
    if (path[0] != '/')
        return EmuFile::kNone;
    return emu_file_from_name(path + 1);
}

int emu_getattr(const char* path, struct stat* st, fuse_file_info*) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    std::memset(st, 0, sizeof *st);
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    const EmuFile file = file_of(path);
    if (file == EmuFile::kNone)
        return -ENOENT;
    st->st_mode = S_IFREG | (file == EmuFile::kCommand ? 0666 : 0444);
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(emu_file_size(g_drive.device, file));
    return 0;
}

int emu_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0)
        return -ENOENT;
    fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    for (EmuFile file : {EmuFile::kCommand, EmuFile::kReply, EmuFile::kData}) {
        fill(buffer, emu_file_name(file), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    }
    return 0;
}

int open_file(const char* path, fuse_file_info* info) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    const EmuFile file = file_of(path);
    if (file == EmuFile::kNone)
        return -ENOENT;
    const bool write = (info->flags & O_ACCMODE) != O_RDONLY;
    if (write && file != EmuFile::kCommand)
        return -EACCES;
    const bool ok = emu_open(g_drive.device, file, write);
    flush_log();
    if (!ok)
        return -EIO;
    info->direct_io = 1;
    info->keep_cache = 0;
    info->fh = static_cast<std::uint64_t>(file);
    return 0;
}

int emu_open_op(const char* path, fuse_file_info* info) {
    return open_file(path, info);
}

int emu_create(const char* path, mode_t, fuse_file_info* info) {
    if (file_of(path) != EmuFile::kCommand)
        return -EACCES;
    return open_file(path, info);
}

int emu_truncate(const char* path, off_t size, fuse_file_info*) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    if (file_of(path) != EmuFile::kCommand)
        return -EACCES;
    if (g_drive.device.vanished)
        return -EIO;
    if (size == 0)
        g_drive.device.command_file_size = 0;
    return 0;
}

int emu_read_op(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    const long got =
        emu_read(g_drive.device, static_cast<EmuFile>(info->fh), static_cast<std::uint64_t>(offset),
                 reinterpret_cast<std::uint8_t*>(buffer), size);
    flush_log();
    return got < 0 ? -EIO : static_cast<int>(got);
}

int emu_write_op(const char*, const char* buffer, size_t size, off_t, fuse_file_info* info) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    const long done = emu_write(g_drive.device, static_cast<EmuFile>(info->fh),
                                reinterpret_cast<const std::uint8_t*>(buffer), size);
    flush_log();
    if (done >= 0 && !g_drive.state_path.empty()) {
        emu_save_state(g_drive.device, g_drive.state_path);
    }
    return done < 0 ? -EIO : static_cast<int>(done);
}

int emu_release(const char*, fuse_file_info* info) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    emu_close(g_drive.device, static_cast<EmuFile>(info->fh));
    flush_log();
    return 0;
}

void* emu_init_op(fuse_conn_info*, fuse_config* config) {
    config->direct_io = 1;
    config->kernel_cache = 0;
    config->attr_timeout = 0;
    config->entry_timeout = 0;
    config->negative_timeout = 0;
    return nullptr;
}

void emu_destroy(void*) {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    if (!g_drive.state_path.empty())
        emu_save_state(g_drive.device, g_drive.state_path);
    if (g_drive.log != nullptr)
        std::fclose(g_drive.log);
    g_drive.log = nullptr;
}

const char kUsage[] =
    "Usage: cartfw-emu [OPTION]... MOUNTPOINT [-- FUSE-OPTION...]\n"
    "Mount an emulated cartridge reader/writer at MOUNTPOINT.\n"
    "\n"
    "  --family=NAME             GB, N64, SFC, FC2, NES (default) or PCE\n"
    "  --revision=DIGITS         application firmware revision (default 302)\n"
    "  --new-revision=DIGITS     revision reported once the flash is right (default 305)\n"
    "  --bootloader              start in the bootloader\n"
    "  --serial=HEX              the 8-byte serial number, 16 hex digits\n"
    "  --misc=HEX                MISC byte of the FC/NES header report (default 0A)\n"
    "  --state=FILE              keep flash, boot flag and cartridge memory in FILE,\n"
    "                            across unmount and mount\n"
    "  --log=FILE                append every exchange and decoded command to FILE,\n"
    "                            one JSON object a line\n"
    "  --vanish-after=N          the drive vanishes after N exchanges\n"
    "  --never-verify=BLOCK      writes to flash block BLOCK are lost\n"
    "  --unreadable-reply-after=N  replies cannot be read after N exchanges (0: never)\n"
    "  --fail-operation=HEX      command writes whose first sector has this operation fail\n"
    "  -f, --foreground          stay in the foreground\n"
    "  --help                    show this help and exit\n"
    "\n"
    "Stops cleanly on unmount (fusermount3 -u MOUNTPOINT), SIGTERM or SIGINT.\n";

bool parse_family(const char* name, EmuFamily* family) {
    static const struct {
        const char* name;
        EmuFamily family;
    } kNames[] = {{"GB", EmuFamily::kGb},   {"N64", EmuFamily::kN64}, {"SFC", EmuFamily::kSfc},
                  {"FC2", EmuFamily::kFc2}, {"NES", EmuFamily::kNes}, {"PCE", EmuFamily::kPce}};
    for (const auto& entry : kNames) {
        if (strcasecmp(name, entry.name) == 0) {
            *family = entry.family;
            return true;
        }
    }
    return false;
}

bool parse_serial(const char* text, std::array<std::uint8_t, 8>* serial) {
    if (std::strlen(text) != 16)
        return false;
    for (int i = 0; i < 8; ++i) {
        unsigned value = 0;
        if (std::sscanf(text + 2 * i, "%2x", &value) != 1)
            return false;
        (*serial)[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    }
    return true;
}

int fail(const char* message, const char* value) {
    std::fprintf(stderr, "cartfw-emu: %s '%s'\nTry 'cartfw-emu --help'.\n", message, value);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    enum {
        kFamily = 256,
        kRevision,
        kNewRevision,
        kBootloader,
        kSerial,
        kMisc,
        kState,
        kLog,
        kVanish,
        kNeverVerify,
        kUnreadable,
        kFailOperation,
        kHelp
    };
    static const option kOptions[] = {
        {"family", required_argument, nullptr, kFamily},
        {"revision", required_argument, nullptr, kRevision},
        {"new-revision", required_argument, nullptr, kNewRevision},
        {"bootloader", no_argument, nullptr, kBootloader},
        {"serial", required_argument, nullptr, kSerial},
        {"misc", required_argument, nullptr, kMisc},
        {"state", required_argument, nullptr, kState},
        {"log", required_argument, nullptr, kLog},
        {"vanish-after", required_argument, nullptr, kVanish},
        {"never-verify", required_argument, nullptr, kNeverVerify},
        {"unreadable-reply-after", required_argument, nullptr, kUnreadable},
        {"fail-operation", required_argument, nullptr, kFailOperation},
        {"foreground", no_argument, nullptr, 'f'},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0},
    };
    EmuConfig config;
    config.firmware.assign(g_firmware.image, g_firmware.image + kFirmwareImageSize);
    EmuFaults faults;
    std::string log_path;
    bool foreground = false;
    int choice = 0;
    while ((choice = getopt_long(argc, argv, "+f", kOptions, nullptr)) != -1) {
        switch (choice) {
            case kFamily:
                if (!parse_family(optarg, &config.family))
                    return fail("unknown family", optarg);
                break;
            case kRevision:
                config.revision = optarg;
                break;
            case kNewRevision:
                config.new_revision = optarg;
                break;
            case kBootloader:
                config.bootloader = true;
                break;
            case kSerial:
                if (!parse_serial(optarg, &config.serial))
                    return fail("bad serial", optarg);
                break;
            case kMisc:
                config.misc = static_cast<std::uint8_t>(std::strtoul(optarg, nullptr, 16));
                break;
            case kState:
                g_drive.state_path = optarg;
                break;
            case kLog:
                log_path = optarg;
                break;
            case kVanish:
                faults.vanish_after = std::strtol(optarg, nullptr, 10);
                break;
            case kNeverVerify:
                faults.never_verify_block = static_cast<int>(std::strtol(optarg, nullptr, 10));
                break;
            case kUnreadable:
                faults.reply_unreadable_after = std::strtol(optarg, nullptr, 10);
                break;
            case kFailOperation:
                faults.fail_operation = static_cast<int>(std::strtol(optarg, nullptr, 16));
                break;
            case 'f':
                foreground = true;
                break;
            case kHelp:
                std::fputs(kUsage, stdout);
                return 0;
            default:
                std::fputs("Try 'cartfw-emu --help'.\n", stderr);
                return 2;
        }
    }
    if (optind >= argc) {
        std::fputs("cartfw-emu: missing MOUNTPOINT\nTry 'cartfw-emu --help'.\n", stderr);
        return 2;
    }

    emu_init(g_drive.device, config);
    if (!g_drive.state_path.empty()) {
        std::ifstream existing(g_drive.state_path);
        if (existing.good() && !emu_load_state(g_drive.device, g_drive.state_path)) {
            return fail("unreadable state file", g_drive.state_path.c_str());
        }
    }
    g_drive.device.faults = faults;
    if (!log_path.empty()) {
        g_drive.log = std::fopen(log_path.c_str(), "a");
        if (g_drive.log == nullptr)
            return fail("cannot open log", log_path.c_str());
    }

    // FUSE arguments: single-threaded, the mount point, anything after it.
    std::vector<std::string> fuse_args = {argv[0], "-s", "-o",
                                          "fsname=cartfw-emu,default_permissions"};
    if (foreground)
        fuse_args.emplace_back("-f");
    for (int i = optind; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") != 0)
            fuse_args.emplace_back(argv[i]);
    }
    std::vector<char*> fuse_argv;
    for (std::string& arg : fuse_args) fuse_argv.push_back(arg.data());

    fuse_operations operations = {};
    operations.getattr = emu_getattr;
    operations.readdir = emu_readdir;
    operations.open = emu_open_op;
    operations.create = emu_create;
    operations.truncate = emu_truncate;
    operations.read = emu_read_op;
    operations.write = emu_write_op;
    operations.release = emu_release;
    operations.init = emu_init_op;
    operations.destroy = emu_destroy;
    return fuse_main(static_cast<int>(fuse_argv.size()), fuse_argv.data(), &operations, nullptr);
}
