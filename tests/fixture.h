// Shared test fixture: the real core on the simulated host, with the device
// emulator behind drive letters.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/firmware_image.h"
#include "device_link/device_files.h"
#include "device_link/startup.h"
#include "emulator/emulator.h"
#include "host/host_sim.h"
#include "trace6502/trace.h"

// The built-in image as it was when the test binary started.
inline const std::vector<std::uint8_t>& pristine_image() {
    static const std::vector<std::uint8_t> image(g_firmware.image,
                                                 g_firmware.image + kFirmwareImageSize);
    return image;
}

inline std::vector<std::uint8_t> current_image() {
    return {g_firmware.image, g_firmware.image + kFirmwareImageSize};
}

inline EmuConfig emu_config(EmuFamily family = EmuFamily::kNes,
                            const std::string& revision = "302") {
    EmuConfig config;
    config.family = family;
    config.revision = revision;
    config.firmware = pristine_image();
    return config;
}

// The bytes 1..509 of a sector that are not zero, as "index:XX" words.
inline std::string set_bytes(const std::uint8_t* sector) {
    std::string out;
    char word[16];
    for (int i = 1; i < 510; ++i) {
        if (sector[i] != 0) {
            std::snprintf(word, sizeof word, "%s%d:%02X", out.empty() ? "" : " ", i, sector[i]);
            out += word;
        }
    }
    return out;
}

inline std::vector<std::string> command_list(const EmuDevice& device) {
    std::vector<std::string> out;
    for (const EmuSector& sector : device.commands) {
        out.push_back(set_bytes(sector.bytes));
    }
    return out;
}

// The console transcript a test expects, rendered as the simulated console
// renders it: text in another attribute wrapped as "[10]...[/]".
class Transcript {
   public:
    Transcript& plain(const std::string& text) { return add(kSimDefaultAttribute, text); }
    Transcript& green(const std::string& text) { return add(10, text); }
    Transcript& red(const std::string& text) { return add(12, text); }
    std::string str() const {
        std::string out;
        for (const auto& [attribute, text] : chunks_) {
            out += attribute == kSimDefaultAttribute
                       ? text
                       : "[" + std::to_string(attribute) + "]" + text + "[/]";
        }
        return out;
    }

   private:
    Transcript& add(std::uint16_t attribute, const std::string& text) {
        if (!chunks_.empty() && chunks_.back().first == attribute) {
            chunks_.back().second += text;
        } else {
            chunks_.emplace_back(attribute, text);
        }
        return *this;
    }
    std::vector<std::pair<std::uint16_t, std::string>> chunks_;
};

class DeviceTest : public ::testing::Test {
   protected:
    EmuDevice device;

    void SetUp() override {
        sim_reset();
        startup_reset();
        g_memory = {};
        ASSERT_EQ(current_image(), pristine_image()) << "an earlier test left the image masked";
    }

    void attach(const EmuConfig& config, char letter = 'D') {
        emu_init(device, config);
        sim_attach_device(letter, &device);
    }

    // Operations in order: "open K-PORTAL.DMP", "read K-PORTAL.DMP 32768+2048", ...
    std::vector<std::string> exchange_log() const {
        std::vector<std::string> out;
        for (const EmuEvent& e : device.events) {
            static const char* const kKinds[] = {"open", "read", "write", "close"};
            std::string line = std::string(kKinds[e.kind]) + " " + emu_file_name(e.file);
            if (e.kind == EmuEvent::kRead) {
                line += " " + std::to_string(e.offset) + "+" + std::to_string(e.size);
            } else if (e.kind == EmuEvent::kWrite) {
                line += " " + std::to_string(e.size);
            }
            if (!e.ok)
                line += " failed";
            out.push_back(line);
        }
        return out;
    }
};
