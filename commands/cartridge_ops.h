// Per-family cartridge operations that start-up installs into the operation
// table: ROM reads, cartridge writes, the FC parameter and the NES header.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads: bytes delivered from the data file, 0 on failure.
std::size_t read_rom_plain(std::uint32_t address, std::uint8_t* destination, std::size_t count);
std::size_t read_rom_gb(std::uint32_t address, std::uint8_t* destination, std::size_t count);
std::size_t read_rom_n64(std::uint32_t address, std::uint8_t* destination, std::size_t count);
std::size_t read_rom_sfc(std::uint32_t address, std::uint8_t* destination, std::size_t count);

// Writes: bytes written to the command file (all sectors in one write).
std::size_t write_none(std::uint32_t address, const std::uint8_t* source, std::size_t count);
std::size_t write_nes_bytes(std::uint32_t address, const std::uint8_t* source, std::size_t count);
std::size_t write_fc2_blocks(std::uint32_t address, const std::uint8_t* source, std::size_t count);
std::size_t write_pce_bytes(std::uint32_t address, const std::uint8_t* source, std::size_t count);
std::size_t write_sfc_bytes(std::uint32_t address, const std::uint8_t* source, std::size_t count);

// Sends the FC parameter (its low 8 bits). Returns the bytes written.
std::size_t send_fc_parameter(std::uint32_t value);

// Asks the cartridge for its header and prints the MISC byte decoded.
void report_nes_header();
