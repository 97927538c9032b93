// The simulated host used by the tests: drives held in memory (or backed by
// the device emulator), a virtual clock that records each sleep, a console
// that records every text with the attribute it was written in, and scripted
// standard input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct EmuDevice;

constexpr std::uint16_t kSimDefaultAttribute = 7;

// Forgets every drive, the console, the clock and the input.
void sim_reset();

// A drive whose files are the emulator's.
void sim_attach_device(char letter, EmuDevice* device, bool removable = true);

// A drive whose files are held in memory.
void sim_add_drive(char letter, bool removable);
void sim_put_file(char letter, const std::string& name, const std::vector<std::uint8_t>& bytes);
// Contents of an in-memory file (empty when it does not exist).
std::vector<std::uint8_t> sim_file(char letter, const std::string& name);
// Makes every later write on this drive fail.
void sim_fail_writes(char letter);

// A read the host performed on an in-memory drive.
struct SimRead {
    std::string path;
    std::uint32_t offset;
    std::size_t size;
};
const std::vector<SimRead>& sim_reads();

// Drive roots whose type was asked, in order.
const std::vector<std::string>& sim_type_queries();

// Sleeps, in milliseconds, in order.
const std::vector<std::uint32_t>& sim_sleeps();

// The console transcript. Text in the default attribute stands as written;
// text in another attribute is wrapped as "[10]...[/]".
std::string sim_console();

// Standard input for host_read_char; and how many characters were asked for.
void sim_set_input(const std::string& text);
int sim_char_reads();
