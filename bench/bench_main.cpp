// Benchmarks of the tool itself, on the simulated host with the emulator:
// 1. the device exchanges of each scenario next to the protocol's floor;
// 2. Google Benchmark: CPU time of a whole update on the virtual clock, and
//    6502 formatter lines per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/firmware_image.h"
#include "device_link/startup.h"
#include "emulator/emulator.h"
#include "host/host_sim.h"
#include "trace6502/trace.h"
#include "updater/entry.h"

namespace {

constexpr long kSmallRead = 2048;  // every reply read is one widened read
constexpr long kSector = 512;
constexpr long kBlockWrite = 4 * kSector;

struct Counts {
    long opens = 0, reads = 0, writes = 0, closes = 0;
    long read_bytes = 0, written_bytes = 0;
};

// What the algorithms need at the least: each exchange is one open, one read
// or write, one close. `reads` and `writes` count exchanges; sector writes
// are 512 bytes except the 2048-byte block writes.
struct Floor {
    long reads;
    long sector_writes;
    long block_writes;
};

Counts count(const EmuDevice& device) {
    Counts c;
    for (const EmuEvent& e : device.events) {
        switch (e.kind) {
            case EmuEvent::kOpen:
                ++c.opens;
                break;
            case EmuEvent::kRead:
                ++c.reads;
                c.read_bytes += static_cast<long>(e.size);
                break;
            case EmuEvent::kWrite:
                ++c.writes;
                c.written_bytes += static_cast<long>(e.size);
                break;
            case EmuEvent::kClose:
                ++c.closes;
                break;
        }
    }
    return c;
}

// The update run's floor with `rewritten` blocks that differ.
Floor update_floor(bool switch_first, long rewritten) {
    const long unchanged = 20 - rewritten;
    Floor f{};
    f.reads = 1 /* identity */ + 1 /* serial */ + 2 /* block 0 before and after erase */ +
              2 * rewritten + unchanged;
    f.sector_writes = (switch_first ? 3 : 0) /* NES init, boot flag, reboot */ +
                      2 /* begin, serial */ + 3 /* checksum, erase, checksum of block 0 */ +
                      3 * rewritten /* checksum, erase, checksum */ + unchanged /* checksum */ +
                      2 /* boot flag cleared, reboot */;
    f.block_writes = rewritten;
    return f;
}

struct Scenario {
    const char* name;
    bool device;
    bool bootloader;
    const char* revision;
    bool right_flash;
    Floor floor;
};

const Scenario kScenarios[] = {
    {"no device", false, false, "302", false, {0, 0, 0}},
    {"current firmware", true, false, "305", false, {1, 1, 0}},
    {"full switch-first update", true, false, "302", false, update_floor(true, 20)},
    {"update-now", true, true, "302", false, update_floor(false, 20)},
    {"already-updated device", true, true, "302", true, update_floor(false, 1)},
};

EmuConfig config_for(const Scenario& s) {
    EmuConfig config;
    config.revision = s.revision;
    config.bootloader = s.bootloader;
    config.firmware.assign(g_firmware.image, g_firmware.image + kFirmwareImageSize);
    if (s.right_flash)
        config.flash = config.firmware;
    return config;
}

void run_once(EmuDevice& device, const Scenario& s) {
    sim_reset();
    startup_reset();
    emu_init(device, config_for(s));
    if (s.device) {
        sim_attach_device('D', &device);
    }
    run_entry();
}

void print_exchange_table() {
    std::printf("Device exchanges per scenario (measured by the emulator / protocol floor)\n");
    std::printf("%-26s %11s %11s %11s %11s %15s %15s\n", "scenario", "opens", "reads", "writes",
                "closes", "bytes read", "bytes written");
    bool all_at_floor = true;
    for (const Scenario& s : kScenarios) {
        EmuDevice device;
        run_once(device, s);
        const Counts c = count(device);
        const long floor_exchanges = s.floor.reads + s.floor.sector_writes + s.floor.block_writes;
        const long floor_writes = s.floor.sector_writes + s.floor.block_writes;
        const long floor_read_bytes = s.floor.reads * kSmallRead;
        const long floor_written =
            s.floor.sector_writes * kSector + s.floor.block_writes * kBlockWrite;
        auto cell = [](long measured, long floor) {
            return std::to_string(measured) + "/" + std::to_string(floor);
        };
        std::printf("%-26s %11s %11s %11s %11s %15s %15s\n", s.name,
                    cell(c.opens, floor_exchanges).c_str(), cell(c.reads, s.floor.reads).c_str(),
                    cell(c.writes, floor_writes).c_str(), cell(c.closes, floor_exchanges).c_str(),
                    cell(c.read_bytes, floor_read_bytes).c_str(),
                    cell(c.written_bytes, floor_written).c_str());
        all_at_floor = all_at_floor && c.opens == floor_exchanges && c.reads == s.floor.reads &&
                       c.writes == floor_writes && c.closes == floor_exchanges &&
                       c.read_bytes == floor_read_bytes && c.written_bytes == floor_written;
    }
    std::printf("%s\n\n",
                all_at_floor ? "every scenario at the floor" : "SOME SCENARIO ABOVE THE FLOOR");
}

void BM_FullUpdateOnVirtualClock(benchmark::State& state) {
    const Scenario& s = kScenarios[2];
    EmuDevice device;
    for (auto _ : state) {
        run_once(device, s);
    }
    state.SetLabel("switch-first update from 302, emulator in process");
}
BENCHMARK(BM_FullUpdateOnVirtualClock)->Unit(benchmark::kMicrosecond);

void BM_FormatInstruction(benchmark::State& state) {
    for (std::size_t i = 0; i < kMemorySize; ++i) {
        g_memory.bytes[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    }
    char line[kLineSize];
    std::uint32_t pc = 0;
    for (auto _ : state) {
        pc = (pc + static_cast<std::uint32_t>(format_instruction(pc, line))) & 0xFFFF;
        benchmark::DoNotOptimize(line);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("lines");
}
BENCHMARK(BM_FormatInstruction);

}  // namespace

int main(int argc, char** argv) {
    print_exchange_table();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
