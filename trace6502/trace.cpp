#include "trace6502/trace.h"

#include <cstdio>
#include <cstring>

#include "updater/console.h"

MemoryImage g_memory = {};
std::uint16_t g_trace_line_count = 0;

namespace {

constexpr int kTraceLines = 10;
constexpr unsigned kNoRegister = 0xFFFF;  // indexed modes: no register tracking

#define OP(text, mode) \
    { text, static_cast<AddressingMode>(mode) }

}  // namespace

// Rows 0x-Fx, columns x0-xF.
// clang-format off
const OpcodeEntry kOpcodeTable[256] = {
    OP(" BRK", 2), OP(" ORA",12), OP("*HLT",14), OP("*SLO",12), OP("*NOP", 9), OP(" ORA", 9), OP(" ASL", 9), OP("*SLO", 9), OP(" PHP", 0), OP(" ORA", 2), OP(" ASL", 1), OP(" ???", 2), OP("*NOP", 4), OP(" ORA", 4), OP(" ASL", 4), OP("*SLO", 4),
    OP(" BPL", 6), OP(" ORA",13), OP("*HLT",14), OP("*SLO",13), OP("*NOP",10), OP(" ORA",10), OP(" ASL",10), OP("*SLO",10), OP(" CLC", 0), OP(" ORA", 8), OP("*NOP", 0), OP("*SLO", 8), OP("*NOP", 7), OP(" ORA", 7), OP(" ASL", 7), OP("*SLO", 7),
    OP(" JSR", 3), OP(" AND",12), OP("*HLT",14), OP("*RLA",12), OP(" BIT", 9), OP(" AND", 9), OP(" ROL", 9), OP("*RLA", 9), OP(" PLP", 0), OP(" AND", 2), OP(" ROL", 1), OP(" ???", 2), OP(" BIT", 4), OP(" AND", 4), OP(" ROL", 4), OP("*RLA", 4),
    OP(" BMI", 6), OP(" AND",13), OP("*HLT",14), OP("*RLA",13), OP("*NOP",10), OP(" AND",10), OP(" ROL",10), OP("*RLA",10), OP(" SEC", 0), OP(" AND", 8), OP("*NOP", 0), OP("*RLA", 8), OP("*NOP", 7), OP(" AND", 7), OP(" ROL", 7), OP("*RLA", 7),
    OP(" RTI", 0), OP(" EOR",12), OP("*HLT",14), OP("*SRE",12), OP("*NOP", 9), OP(" EOR", 9), OP(" LSR", 9), OP("*SRE", 9), OP(" PHA", 0), OP(" EOR", 2), OP(" LSR", 1), OP(" ???", 2), OP(" JMP", 3), OP(" EOR", 4), OP(" LSR", 4), OP("*SRE", 4),
    OP(" BVC", 6), OP(" EOR",13), OP("*HLT",14), OP("*SRE",13), OP("*NOP",10), OP(" EOR",10), OP(" LSR",10), OP("*SRE",10), OP(" CLI", 0), OP(" EOR", 8), OP("*NOP", 0), OP("*SRE", 8), OP("*NOP", 7), OP(" EOR", 7), OP(" LSR", 7), OP("*SRE", 7),
    OP(" RTS", 0), OP(" ADC",12), OP("*HLT",14), OP("*RRA",12), OP("*NOP", 9), OP(" ADC", 9), OP(" ROR", 9), OP("*RRA", 9), OP(" PLA", 0), OP(" ADC", 2), OP(" ROR", 1), OP(" ???", 2), OP(" JMP", 5), OP(" ADC", 4), OP(" ROR", 4), OP("*RRA", 4),
    OP(" BVS", 6), OP(" ADC",13), OP("*HLT",14), OP("*RRA",13), OP("*NOP",10), OP(" ADC",10), OP(" ROR",10), OP("*RRA",10), OP(" SEI", 0), OP(" ADC", 8), OP("*NOP", 0), OP("*RRA", 8), OP("*NOP", 7), OP(" ADC", 7), OP(" ROR", 7), OP("*RRA", 7),
    OP("*NOP", 2), OP(" STA",12), OP("*NOP", 2), OP("*SAX",12), OP(" STY", 9), OP(" STA", 9), OP(" STX", 9), OP("*SAX", 9), OP(" DEY", 0), OP("*NOP", 2), OP(" TXA", 0), OP(" ???", 2), OP(" STY", 4), OP(" STA", 4), OP(" STX", 4), OP("*SAX", 4),
    OP(" BCC", 6), OP(" STA",13), OP("*HLT",14), OP(" ???",13), OP(" STY",10), OP(" STA",10), OP(" STX",11), OP("*SAX",11), OP(" TYA", 0), OP(" STA", 8), OP(" TXS", 0), OP(" ???", 8), OP(" ???", 7), OP(" STA", 7), OP(" ???", 8), OP(" ???", 8),
    OP(" LDY", 2), OP(" LDA",12), OP(" LDX", 2), OP("*LAX",12), OP(" LDY", 9), OP(" LDA", 9), OP(" LDX", 9), OP("*LAX", 9), OP(" TAY", 0), OP(" LDA", 2), OP(" TAX", 0), OP(" ???", 2), OP(" LDY", 4), OP(" LDA", 4), OP(" LDX", 4), OP("*LAX", 4),
    OP(" BCS", 6), OP(" LDA",13), OP("*HLT",14), OP("*LAX",13), OP(" LDY",10), OP(" LDA",10), OP(" LDX",11), OP("*LAX",11), OP(" CLV", 0), OP(" LDA", 8), OP(" TSX", 0), OP(" ???", 8), OP(" LDY", 7), OP(" LDA", 7), OP(" LDX", 8), OP("*LAX", 8),
    OP(" CPY", 2), OP(" CMP",12), OP("*NOP", 2), OP("*DCP",12), OP(" CPY", 9), OP(" CMP", 9), OP(" DEC", 9), OP("*DCP", 9), OP(" INY", 0), OP(" CMP", 2), OP(" DEX", 0), OP(" ???", 2), OP(" CPY", 4), OP(" CMP", 4), OP(" DEC", 4), OP("*DCP", 4),
    OP(" BNE", 6), OP(" CMP",13), OP("*HLT",14), OP("*DCP",13), OP("*NOP",10), OP(" CMP",10), OP(" DEC",10), OP("*DCP",10), OP(" CLD", 0), OP(" CMP", 8), OP("*NOP", 0), OP("*DCP", 8), OP("*NOP", 7), OP(" CMP", 7), OP(" DEC", 7), OP("*DCP", 7),
    OP(" CPX", 2), OP(" SBC",12), OP("*NOP", 2), OP("*ISB",12), OP(" CPX", 9), OP(" SBC", 9), OP(" INC", 9), OP("*ISB", 9), OP(" INX", 0), OP(" SBC", 2), OP(" NOP", 0), OP("*SBC", 2), OP(" CPX", 4), OP(" SBC", 4), OP(" INC", 4), OP("*ISB", 4),
    OP(" BEQ", 6), OP(" SBC",13), OP("*HLT",14), OP("*ISB",13), OP("*NOP",10), OP(" SBC",10), OP(" INC",10), OP("*ISB",10), OP(" SED", 0), OP(" SBC", 8), OP("*NOP", 0), OP("*ISB", 8), OP("*NOP", 7), OP(" SBC", 7), OP(" INC", 7), OP("*ISB", 7),
};
// clang-format on

#undef OP

int format_instruction(std::uint32_t pc, char* line) {
    pc &= 0xFFFF;
    const std::uint8_t* image = g_memory.bytes;
    const unsigned opcode = image[pc];
    const OpcodeEntry& entry = kOpcodeTable[opcode];
    const char* mn = entry.mnemonic;
    const unsigned b1 = image[(pc + 1) & 0xFFFF];
    const unsigned b2 = image[(pc + 2) & 0xFFFF];
    const unsigned word = b1 + 256 * b2;
    const unsigned far_value = image[kNoRegister];
    const auto signed_b1 = static_cast<int>(static_cast<std::int8_t>(b1));
    const unsigned target = static_cast<unsigned>(static_cast<int>(pc) + 2 + signed_b1) & 0xFFFF;

    int length = 1;
    switch (entry.mode) {
        case kImmediate:
        case kRelative:
        case kZeroPage:
        case kZeroPageX:
        case kZeroPageY:
        case kIndexedIndirect:
        case kIndirectIndexed:
            length = 2;
            break;
        case kAbsoluteJump:
        case kAbsolute:
        case kIndirect:
        case kAbsoluteX:
        case kAbsoluteY:
            length = 3;
            break;
        default:
            break;
    }
    if (line == nullptr) {
        return length;
    }

    constexpr std::size_t n = kLineSize;
    switch (entry.mode) {
        case kImplied:
        case kHalt:
            std::snprintf(line, n, "%04X  %02X       %s                           ", pc, opcode,
                          mn);
            break;
        case kAccumulator:
            std::snprintf(line, n, "%04X  %02X       %s A                         ", pc, opcode,
                          mn);
            break;
        case kImmediate:
            std::snprintf(line, n, "%04X  %02X %02X    %s #$%02X                  ", pc, opcode, b1,
                          mn, b1);
            break;
        case kAbsoluteJump:
            std::snprintf(line, n, "%04X  %02X %02X %02X %s $%04X                     ", pc, opcode,
                          b1, b2, mn, word);
            break;
        case kAbsolute:
            std::snprintf(line, n, "%04X  %02X %02X %02X %s $%04X = %02X              ", pc, opcode,
                          b1, b2, mn, word, image[word]);
            break;
        case kIndirect:
            std::snprintf(line, n, "%04X  %02X %02X %02X %s ($%04X) = %04X            ", pc, opcode,
                          b1, b2, mn, word, kNoRegister);
            break;
        case kRelative:
            std::snprintf(line, n, "%04X  %02X %02X    %s $%04X                   ", pc, opcode, b1,
                          mn, target);
            break;
        case kAbsoluteX:
            std::snprintf(line, n, "%04X  %02X %02X %02X %s $%04X,X @ %04X = %02X     ", pc, opcode,
                          b1, b2, mn, word, kNoRegister, far_value);
            break;
        case kAbsoluteY:
            std::snprintf(line, n, "%04X  %02X %02X %02X %s $%04X,Y @ %04X = %02X     ", pc, opcode,
                          b1, b2, mn, word, kNoRegister, far_value);
            break;
        case kZeroPage:
            std::snprintf(line, n, "%04X  %02X %02X    %s $%02X = %02X            ", pc, opcode, b1,
                          mn, b1, image[b1]);
            break;
        case kZeroPageX:
            std::snprintf(line, n, "%04X  %02X %02X    %s $%02X,X @ %02X = %02X   ", pc, opcode, b1,
                          mn, b1, kNoRegister, far_value);
            break;
        case kZeroPageY:
            std::snprintf(line, n, "%04X  %02X %02X    %s $%02X,Y @ %02X = %02X   ", pc, opcode, b1,
                          mn, b1, kNoRegister, far_value);
            break;
        case kIndexedIndirect:
            std::snprintf(line, n, "%04X  %02X %02X    %s ($%02X,X) @ %02X = %04X = %02X", pc,
                          opcode, b1, mn, b1, 0U, kNoRegister, far_value);
            break;
        case kIndirectIndexed:
            std::snprintf(line, n, "%04X  %02X %02X    %s ($%02X),Y = %04X @ %04X = %02X", pc,
                          opcode, b1, mn, b1, 0U, kNoRegister, far_value);
            break;
        default:
            std::snprintf(line, n, "%45s", "");
            break;
    }
    return length;
}

int trace_block(const std::uint8_t* source, std::uint32_t address) {
    // The copy wraps at the end of the address space, as the 6502's does.
    for (std::size_t i = 0; i < kTraceBlockSize; ++i) {
        g_memory.bytes[(address + i) & 0xFFFF] = source[i];
    }
    g_trace_line_count = kTraceLines;
    char line[kLineSize] = {};
    std::uint32_t pc = address & 0xFFFF;
    for (int i = 0; i < g_trace_line_count; ++i) {
        const int length = format_instruction(pc, line);
        print_std("%s\n", line);
        pc = (pc + static_cast<std::uint32_t>(length)) & 0xFFFF;
    }
    return kTraceLines;
}
