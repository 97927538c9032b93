// The firmware update run.
#pragma once

#include <cstdint>

constexpr std::uint32_t kFlashBase = 0x08004000;  // block 0
constexpr std::uint32_t kBootFlagWaitMs = 1000;   // after setting the boot flag
constexpr std::uint32_t kRebootWaitMs = 5000;     // for the bootloader to come up
constexpr std::uint32_t kEraseWaitMs = 300;       // after erasing a block

// An NES application at `revision`: switch to the bootloader, then update.
void update_switch_first(int revision);

// A device already in its bootloader: update at once.
void update_now();
