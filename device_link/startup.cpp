#include "device_link/startup.h"

#include <cstring>

#include "commands/cartridge_ops.h"
#include "commands/system_commands.h"
#include "device_link/device_files.h"
#include "host/host.h"
#include "trace6502/trace.h"
#include "updater/console.h"

DeviceIdentity g_device_identity = {};
OperationTable g_operations = {};

namespace {

constexpr char kFirstScannedLetter = 'D';
constexpr char kLastScannedLetter = 'Z';
constexpr std::size_t kFlagByteA = 4;  // initialisation flag bytes
constexpr std::size_t kFlagByteB = 12;

std::size_t default_read(std::uint32_t, std::uint8_t*, std::size_t) {
    report_not_initialised();
    return 0;
}

std::size_t default_write(std::uint32_t, const std::uint8_t*, std::size_t) {
    report_not_initialised();
    return 0;
}

std::size_t default_parameter(std::uint32_t) {
    report_not_initialised();
    return 0;
}

int default_trace(const std::uint8_t*, std::uint32_t) {
    report_not_initialised();
    return 0;
}

void install_defaults() {
    g_operations.read = default_read;
    g_operations.write = default_write;
    g_operations.parameter = default_parameter;
    g_operations.info = report_not_initialised;
    g_operations.trace = default_trace;
    g_operations.spare = report_not_initialised;
}

void send_initialisation(const FamilyRow& family, int fc_flag) {
    CommandSector sector = {};
    if (family.flag != InitFlag::kNone) {
        const std::uint8_t flag = family.flag == InitFlag::kOne || fc_flag != 0 ? 1 : 0;
        sector.bytes[kFlagByteA] = flag;
        sector.bytes[kFlagByteB] = flag;
    }
    for (const InitStep& step : family.init) {
        if (step.target == 0) {
            break;
        }
        sector.bytes[1] = step.target;
        sector.bytes[2] = step.operation;
        send_command_sectors(sector.bytes, sizeof sector.bytes);
    }
}

void install_family(const FamilyRow& family) {
    if (family.sets_addresses) {
        g_operations.start_address = family.start_address;
        g_operations.vector_address = family.vector_address;
    }
    if (family.read != nullptr)
        g_operations.read = family.read;
    if (family.write != nullptr)
        g_operations.write = family.write;
    if (family.parameter != nullptr)
        g_operations.parameter = family.parameter;
    if (family.info != nullptr)
        g_operations.info = family.info;
    if (family.trace != nullptr)
        g_operations.trace = family.trace;
}

}  // namespace

// One row per family, searched top to bottom.
// clang-format off
const FamilyRow kFamilyTable[kFamilyCount] = {
    {.name = "GB", .tag = "GBX_PCB02_FW",
     .init = {{kTargetSystem, kOpGbPrepare}, {kTargetGb, 0x01}}, .flag = InitFlag::kNone,
     .sets_addresses = true, .start_address = 0, .vector_address = 0,
     .read = read_rom_gb, .write = write_none, .parameter = nullptr, .info = nullptr,
     .trace = nullptr},
    {.name = "N64", .tag = "N64_PCB20_FW",
     .init = {{kTargetN64, 0x01}, {0, 0}}, .flag = InitFlag::kNone,
     .sets_addresses = true, .start_address = 0x10000000, .vector_address = 0x10000000,
     .read = read_rom_n64, .write = write_none, .parameter = nullptr, .info = nullptr,
     .trace = nullptr},
    {.name = "SFC", .tag = "SFC_PCB02_FW",
     .init = {{kTargetSfc, 0x01}, {0, 0}}, .flag = InitFlag::kNone,
     .sets_addresses = true, .start_address = 0x8000, .vector_address = 0xFFFC,
     .read = read_rom_sfc, .write = write_sfc_bytes, .parameter = nullptr, .info = nullptr,
     .trace = trace_block},
    {.name = "FC2", .tag = "FC2_PCB02_FW",
     .init = {{kTargetFc, 0x01}, {0, 0}}, .flag = InitFlag::kFromCaller,
     .sets_addresses = true, .start_address = 0x8000, .vector_address = 0xFFFC,
     .read = read_rom_plain, .write = write_fc2_blocks, .parameter = send_fc_parameter,
     .info = report_nes_header, .trace = trace_block},
    {.name = "NES", .tag = "NES_PCB02_FW",
     .init = {{kTargetFc, 0x01}, {0, 0}}, .flag = InitFlag::kOne,
     .sets_addresses = true, .start_address = 0x8000, .vector_address = 0xFFFC,
     .read = read_rom_plain, .write = write_nes_bytes, .parameter = send_fc_parameter,
     .info = report_nes_header, .trace = trace_block},
    {.name = "PCE", .tag = "PCE_PCB02_FW",
     .init = {{kTargetPce, 0x01}, {0, 0}}, .flag = InitFlag::kNone,
     .sets_addresses = false, .start_address = 0, .vector_address = 0,
     .read = read_rom_plain, .write = write_pce_bytes, .parameter = nullptr, .info = nullptr,
     .trace = trace_block},
};
// clang-format on

const char* identity_text() {
    return reinterpret_cast<const char*>(g_device_identity.bytes);
}

void report_not_initialised() {
    print_std("please init device first\n");
    print_std("get more infomation,type h[enter].\n");
}

const FamilyRow* recognise_family(const DeviceIdentity& identity) {
    for (const FamilyRow& family : kFamilyTable) {
        if (std::memcmp(identity.bytes, family.tag, kFamilyTagSize) == 0) {
            return &family;
        }
    }
    return nullptr;
}

int probe_drive(char letter) {
    g_drive_letter = letter;
    const char root[] = {letter, ':', '\0'};
    if (!host_drive_is_removable(root)) {
        return 0;
    }
    std::memset(g_device_identity.bytes, 0, sizeof g_device_identity.bytes);
    return read_reply(kIdentityOffset, g_device_identity.bytes, kIdentitySize) > 0 ? 1 : 0;
}

int scan_drives() {
    const std::uint32_t mask = host_logical_drives();
    for (char letter = kFirstScannedLetter; letter <= kLastScannedLetter; ++letter) {
        if ((mask >> (letter - 'A') & 1U) != 0 && probe_drive(letter) != 0) {
            return 1;
        }
    }
    return 0;
}

int device_startup(char drive_letter, int fc_flag) {
    install_defaults();
    const int found = drive_letter != 0 ? probe_drive(drive_letter) : scan_drives();
    if (found == 0) {
        return 0;
    }
    const FamilyRow* family = recognise_family(g_device_identity);
    if (family == nullptr) {
        return 0;
    }
    send_initialisation(*family, fc_flag);
    install_family(*family);
    print_std("Init %s OK\n", identity_text());
    return 1;
}

void startup_reset() {
    g_drive_letter = 0;
    g_device_identity = {};
    g_operations = {};
}
