// The 6502 formatter over arbitrary memory and addresses, and trace_block at
// any address: lengths 1 to 3, lines within their buffer, ten lines a block.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_sim.h"
#include "tests/fuzz/fuzz_check.h"
#include "trace6502/trace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::uint32_t pc = static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16);
    const std::uint32_t address = static_cast<std::uint32_t>(data[3] | data[1] << 8);
    g_memory = {};
    const std::size_t body = size - 4;
    for (std::size_t i = 0; i < body; ++i) {
        g_memory.bytes[(pc + i) & 0xFFFF] = data[4 + i];
    }
    char line[kLineSize];
    std::memset(line, 0x7F, sizeof line);
    const int length = format_instruction(pc, line);
    require(length >= 1 && length <= 3);
    require(std::memchr(line, '\0', sizeof line) != nullptr);
    // Every layout starts with the address and is between 40 and 60 characters.
    char address_text[8];
    std::snprintf(address_text, sizeof address_text, "%04X", pc & 0xFFFF);
    require(std::strncmp(line, address_text, 4) == 0);
    require(std::strlen(line) >= 40 && std::strlen(line) <= 60);
    require(format_instruction(pc, nullptr) == length);

    std::uint8_t block[kTraceBlockSize] = {};
    std::memcpy(block, data + 4, body < sizeof block ? body : sizeof block);
    sim_reset();
    require(trace_block(block, address) == 10);
    const std::string console = sim_console();
    std::size_t lines = 0;
    for (char c : console) lines += c == '\n';
    require(lines == 10);
    return 0;
}
