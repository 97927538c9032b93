// The platform layer: the only operations the core needs from the machine it
// runs on. One implementation per host is linked into each executable:
// host_win32.cpp (the Windows build), host_linux.cpp (the Linux build) and
// host_sim.cpp (tests: in-memory drives, virtual clock, recorded console).
//
// Paths are the core's own "D:\NAME" form; each host maps them.
#pragma once

#include <cstddef>
#include <cstdint>

using HostFile = std::intptr_t;       // an open device file
constexpr HostFile kHostNoFile = -1;  // what a failed open returns

// Bit n set when drive letter 'A' + n exists (bit 0 = A:).
std::uint32_t host_logical_drives();

// True when the drive root (the letter and a colon, "D:") is a removable drive.
bool host_drive_is_removable(const char* root);

// Create or truncate for writing, shared with nobody.
HostFile host_open_write(const char* path);

// Open an existing file for reading, shared for read and write, with the
// operating system's cache bypassed so that every read reaches the device.
HostFile host_open_read(const char* path);

// Position a file opened for reading at an absolute offset.
bool host_seek(HostFile file, std::uint32_t offset);

// One read call of up to `count` bytes at the current position. Returns the
// number of bytes read (which may be short at the end of the file) or -1.
// The host takes care of any alignment its cache bypass needs.
long host_read(HostFile file, void* destination, std::size_t count);

// One write call. Returns the number of bytes written or -1.
long host_write(HostFile file, const void* source, std::size_t count);

void host_close(HostFile file);

void host_sleep_ms(std::uint32_t milliseconds);

// Console text attribute, in the Windows console's numbering
// (7 grey on black, 10 bright green, 12 bright red).
std::uint16_t host_console_attribute();
void host_set_console_attribute(std::uint16_t attribute);

// The standard formatted print's route: the C runtime's standard output,
// flushed at once so that it stays in order with host_console_write.
void host_print_text(const char* text, std::size_t length);

// The console message route: one raw write to the standard output handle.
void host_console_write(const char* text, std::size_t length);

// One character from standard input (EOF when there is none).
int host_read_char();
