// A small 6502 disassembler printing instructions in a fixed trace layout
// from a process-wide 64 KiB memory image.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kMemorySize = 0x10000;  // the 6502 address space
constexpr std::size_t kLineSize = 300;        // one formatted line
constexpr std::size_t kTraceBlockSize = 256;  // bytes copied by trace_block

enum AddressingMode : std::uint8_t {
    kImplied = 0,
    kAccumulator = 1,
    kImmediate = 2,
    kAbsoluteJump = 3,  // JSR, JMP: no value shown
    kAbsolute = 4,
    kIndirect = 5,
    kRelative = 6,
    kAbsoluteX = 7,
    kAbsoluteY = 8,
    kZeroPage = 9,
    kZeroPageX = 10,
    kZeroPageY = 11,
    kIndexedIndirect = 12,  // (zp,X)
    kIndirectIndexed = 13,  // (zp),Y
    kHalt = 14,
};

struct OpcodeEntry {
    char mnemonic[5];  // blank or '*' and three letters, as printed
    AddressingMode mode;
};

extern const OpcodeEntry kOpcodeTable[256];

// The memory image the formatter reads (zero at start).
struct MemoryImage {
    std::uint8_t bytes[kMemorySize];
};
extern MemoryImage g_memory;

// Lines printed by the last trace_block.
extern std::uint16_t g_trace_line_count;

// Length (1 to 3) of the instruction at pc; with a non-null `line` (300
// bytes) also its formatted text.
int format_instruction(std::uint32_t pc, char* line);

// Copies 256 bytes to the image at `address` (wrapping at 0x10000) and prints
// ten instructions from there. Returns 10.
int trace_block(const std::uint8_t* source, std::uint32_t address);
