// Saving and restoring what a device remembers across unplugging: its flash,
// boot flag and cartridge memory. The mode and revision it starts in follow
// from them, as after any power-up.
#pragma once

#include <string>

#include "emulator/emulator.h"

bool emu_save_state(const EmuDevice& device, const std::string& path);

// Restores a saved device and powers it up as after being plugged in.
bool emu_load_state(EmuDevice& device, const std::string& path);

// One JSON object describing an exchange or a decoded command.
std::string emu_event_json(const EmuEvent& event);
std::string emu_command_json(const EmuSector& sector);
