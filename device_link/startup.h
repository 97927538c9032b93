// Device start-up: finding the device among the removable drives, its
// identity, family recognition and initialisation, and the operation table.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kIdentitySize = 16;  // bytes read at kIdentityOffset

// The identity read from the reply file, followed by zero bytes so that it
// always prints as text.
struct DeviceIdentity {
    std::uint8_t bytes[kIdentitySize + 16];
};

extern DeviceIdentity g_device_identity;

// The identity as text for "%s".
const char* identity_text();

using ReadOperation = std::size_t (*)(std::uint32_t address, std::uint8_t* destination,
                                      std::size_t count);
using WriteOperation = std::size_t (*)(std::uint32_t address, const std::uint8_t* source,
                                       std::size_t count);
using ParameterOperation = std::size_t (*)(std::uint32_t value);
using InfoOperation = void (*)();
using TraceOperation = int (*)(const std::uint8_t* source, std::uint32_t address);

// The recognised family's cartridge operations and addresses.
struct OperationTable {
    std::uint32_t start_address;
    std::uint32_t vector_address;
    ReadOperation read;
    WriteOperation write;
    ParameterOperation parameter;
    InfoOperation info;
    TraceOperation trace;
    InfoOperation spare;  // never replaced
};

extern OperationTable g_operations;

// How bytes 4 and 12 of an initialisation sector are set.
enum class InitFlag : std::uint8_t {
    kNone,        // left 0
    kFromCaller,  // 1 when the start-up flag is non-zero, else 0
    kOne,         // always 1
};

// One sector of a family's initialisation; target 0 ends the list.
struct InitStep {
    std::uint8_t target;
    std::uint8_t operation;
};

// One row of the family table.
struct FamilyRow {
    const char* name;  // printed nowhere; names the row in tests
    const char* tag;   // identity bytes 0-11
    InitStep init[2];  // sent in order from one buffer
    InitFlag flag;
    bool sets_addresses;  // false: the two addresses are left as they were
    std::uint32_t start_address;
    std::uint32_t vector_address;
    ReadOperation read;  // null: the slot keeps its default
    WriteOperation write;
    ParameterOperation parameter;
    InfoOperation info;
    TraceOperation trace;
};

constexpr std::size_t kFamilyCount = 6;
constexpr std::size_t kFamilyTagSize = 12;
extern const FamilyRow kFamilyTable[kFamilyCount];

// Default for every slot: prints the two-line "please init device first".
void report_not_initialised();

// Finds the device (on `drive_letter`, or by scanning when it is 0), sends
// the recognised family's initialisation and installs its operations.
// Returns 1 when a known family was initialised, else 0.
int device_startup(char drive_letter, int fc_flag);

// Scans D: to Z:; returns 1 when a device was found (letter and identity set).
int scan_drives();

// The same for one letter, regardless of the drive mask.
int probe_drive(char letter);

// The family row that the identity names, or null.
const FamilyRow* recognise_family(const DeviceIdentity& identity);

// Back to the state at process start (drive letter, identity, table).
void startup_reset();
