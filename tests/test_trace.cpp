#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "fixture.h"

namespace {

struct FormatCase {
    const char* name;
    std::uint32_t pc;
    std::vector<std::uint8_t> bytes;  // at pc, wrapping at 0x10000
    int length;
    const char* line;
};

class Formatter : public DeviceTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Formatter, FormatsTheInstructionExactly) {
    const FormatCase& c = GetParam();
    g_memory.bytes[0x0010] = 0x7F;  // zero-page value
    g_memory.bytes[0xC5F5] = 0x99;  // absolute value
    g_memory.bytes[0xFFFF] = 0xEE;  // shown for every indexed mode
    for (std::size_t i = 0; i < c.bytes.size(); ++i) {
        g_memory.bytes[(c.pc + i) & 0xFFFF] = c.bytes[i];
    }
    char line[kLineSize];
    std::memset(line, 'x', sizeof line);
    EXPECT_EQ(format_instruction(c.pc, line), c.length);
    EXPECT_STREQ(line, c.line);
    EXPECT_EQ(format_instruction(c.pc, nullptr), c.length);
}

// Columns: name, pc, bytes at pc, length, the exact line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Modes, Formatter,
    ::testing::Values(
        FormatCase{"Implied", 0xC000, {0xEA}, 1,
                   "C000  EA        NOP                           "},
        FormatCase{"Accumulator", 0xC000, {0x0A}, 1,
                   "C000  0A        ASL A                         "},
        FormatCase{"Immediate", 0xC000, {0xA9, 0x00}, 2,
                   "C000  A9 00     LDA #$00                  "},
        FormatCase{"AbsoluteJump", 0xC000, {0x4C, 0xF5, 0xC5}, 3,
                   "C000  4C F5 C5  JMP $C5F5                     "},
        FormatCase{"Absolute", 0xC000, {0xAD, 0xF5, 0xC5}, 3,
                   "C000  AD F5 C5  LDA $C5F5 = 99              "},
        FormatCase{"Indirect", 0xC000, {0x6C, 0xF5, 0xC5}, 3,
                   "C000  6C F5 C5  JMP ($C5F5) = FFFF            "},
        FormatCase{"RelativeForward", 0xC000, {0xF0, 0x04}, 2,
                   "C000  F0 04     BEQ $C006                   "},
        FormatCase{"RelativeSelf", 0x0000, {0xD0, 0xFE}, 2,
                   "0000  D0 FE     BNE $0000                   "},
        FormatCase{"RelativeWrapsBelowZero", 0x0010, {0x10, 0x80}, 2,
                   "0010  10 80     BPL $FF92                   "},
        FormatCase{"RelativeWrapsAboveTop", 0xFFF0, {0x90, 0x7F}, 2,
                   "FFF0  90 7F     BCC $0071                   "},
        FormatCase{"AbsoluteX", 0xC000, {0xBD, 0xF5, 0xC5}, 3,
                   "C000  BD F5 C5  LDA $C5F5,X @ FFFF = EE     "},
        FormatCase{"AbsoluteY", 0xC000, {0xB9, 0xF5, 0xC5}, 3,
                   "C000  B9 F5 C5  LDA $C5F5,Y @ FFFF = EE     "},
        FormatCase{"ZeroPage", 0x0200, {0x85, 0x10}, 2,
                   "0200  85 10     STA $10 = 7F            "},
        FormatCase{"ZeroPageX", 0x0200, {0xB5, 0x10}, 2,
                   "0200  B5 10     LDA $10,X @ FFFF = EE   "},
        FormatCase{"ZeroPageY", 0x0200, {0xB6, 0x10}, 2,
                   "0200  B6 10     LDX $10,Y @ FFFF = EE   "},
        FormatCase{"IndexedIndirect", 0x0200, {0xA1, 0x10}, 2,
                   "0200  A1 10     LDA ($10,X) @ 00 = FFFF = EE"},
        FormatCase{"IndirectIndexed", 0x0200, {0xB1, 0x10}, 2,
                   "0200  B1 10     LDA ($10),Y = 0000 @ FFFF = EE"},
        FormatCase{"Halt", 0x0300, {0x02, 0x55}, 1,
                   "0300  02       *HLT                           "},
        FormatCase{"Unknown", 0x0300, {0x0B, 0x55}, 2,
                   "0300  0B 55     ??? #$55                  "},
        FormatCase{"Undocumented", 0x0300, {0xA7, 0x10}, 2,
                   "0300  A7 10    *LAX $10 = 7F            "},
        FormatCase{"BrkTakesTwoBytes", 0x0300, {0x00, 0x21}, 2,
                   "0300  00 21     BRK #$21                  "},
        FormatCase{"OperandsWrapAtTheTop", 0xFFFF, {0x4C, 0x34, 0x12}, 3,
                   "FFFF  4C 34 12  JMP $1234                     "},
        FormatCase{"PcTakenModulo64K", 0x1C000, {0xEA}, 1,
                   "C000  EA        NOP                           "}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on });

TEST(OpcodeTable, HasAValidEntryForEveryOpcode) {
    static_assert(sizeof kOpcodeTable / sizeof kOpcodeTable[0] == 256);
    for (int op = 0; op < 256; ++op) {
        const OpcodeEntry& e = kOpcodeTable[op];
        SCOPED_TRACE(op);
        EXPECT_EQ(std::strlen(e.mnemonic), 4u);
        EXPECT_TRUE(e.mnemonic[0] == ' ' || e.mnemonic[0] == '*');
        EXPECT_LE(e.mode, kHalt);
        EXPECT_EQ(e.mode == kHalt, std::strcmp(e.mnemonic, "*HLT") == 0);
    }
}

// Every opcode at 0x1234 with operand bytes 10 80 (word 0x8010). Any change to
// the opcode table or a format shows up as a change to the golden listing.
std::string listing() {
    std::ostringstream out;
    for (int op = 0; op < 256; ++op) {
        g_memory = {};
        g_memory.bytes[0x1234] = static_cast<std::uint8_t>(op);
        g_memory.bytes[0x1235] = 0x10;
        g_memory.bytes[0x1236] = 0x80;
        g_memory.bytes[0x0010] = 0x7F;
        g_memory.bytes[0x8010] = 0x5A;
        g_memory.bytes[0xFFFF] = 0xEE;
        char line[kLineSize];
        const int length = format_instruction(0x1234, line);
        out << length << "|" << line << "|\n";
    }
    return out.str();
}

TEST(OpcodeTable, MatchesTheReviewedGoldenListing) {
    const std::string path = std::string(CARTFW_GOLDEN_DIR) + "/opcodes_1234.txt";
    const std::string got = listing();
    if (std::getenv("CARTFW_WRITE_GOLDEN") != nullptr) {
        std::ofstream(path) << got;
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << path;
    std::stringstream want;
    want << in.rdbuf();
    EXPECT_EQ(got, want.str());
}

class TraceBlock : public DeviceTest {};

TEST_F(TraceBlock, PrintsTenLinesFromTheBlock) {
    std::vector<std::uint8_t> block(256, 0xEA);
    block[0] = 0xA9;  // LDA #$01
    block[1] = 0x01;
    EXPECT_EQ(trace_block(block.data(), 0x8000), 10);
    EXPECT_EQ(g_trace_line_count, 10);
    std::string expected = "8000  A9 01     LDA #$01                  \n";
    for (unsigned pc = 0x8002; pc < 0x8002 + 9; ++pc) {
        char line[80];
        std::snprintf(line, sizeof line, "%04X  EA        NOP                           \n", pc);
        expected += line;
    }
    EXPECT_EQ(sim_console(), expected);
}

TEST_F(TraceBlock, CopyWrapsAtTheTopOfTheAddressSpace) {
    std::vector<std::uint8_t> block(256);
    for (int i = 0; i < 256; ++i) block[i] = static_cast<std::uint8_t>(i);
    block[0] = 0xEA;
    g_memory.bytes[0x0100] = 0x77;
    trace_block(block.data(), 0xFFF0);
    EXPECT_EQ(g_memory.bytes[0xFFF0], 0xEA);
    EXPECT_EQ(g_memory.bytes[0xFFFF], 15);
    EXPECT_EQ(g_memory.bytes[0x0000], 16);
    EXPECT_EQ(g_memory.bytes[0x00EF], 255);
    EXPECT_EQ(g_memory.bytes[0x00F0], 0) << "copied more than 256 bytes";
    EXPECT_EQ(g_memory.bytes[0x0100], 0x77);
    const std::string console = sim_console();
    EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), 10);
    EXPECT_EQ(console.rfind("FFF0  EA ", 0), 0u);
}

}  // namespace
