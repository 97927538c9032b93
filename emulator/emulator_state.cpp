#include "emulator/emulator_state.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string to_hex(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

bool from_hex(const std::string& text, std::uint8_t* bytes, std::size_t count) {
    if (text.size() != count * 2)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + 2 * i, "%2x", &value) != 1)
            return false;
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

}  // namespace

bool emu_save_state(const EmuDevice& device, const std::string& path) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << "boot_flag " << to_hex(device.boot_flag.data(), device.boot_flag.size()) << "\n";
        out << "flash " << to_hex(device.flash.data(), device.flash.size()) << "\n";
        for (const auto& [address, value] : device.cartridge) {
            out << "cartridge " << address << " " << static_cast<unsigned>(value) << "\n";
        }
        if (!out.good())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool emu_load_state(EmuDevice& device, const std::string& path) {
    std::ifstream in(path);
    if (!in.good())
        return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "boot_flag") {
            std::string hex;
            fields >> hex;
            if (!from_hex(hex, device.boot_flag.data(), device.boot_flag.size()))
                return false;
        } else if (key == "flash") {
            std::string hex;
            fields >> hex;
            if (!from_hex(hex, device.flash.data(), device.flash.size()))
                return false;
        } else if (key == "cartridge") {
            unsigned long address = 0;
            unsigned value = 0;
            if (fields >> address >> value) {
                device.cartridge[static_cast<std::uint32_t>(address)] =
                    static_cast<std::uint8_t>(value);
            }
        }
    }
    emu_replug(device);
    return true;
}

std::string emu_event_json(const EmuEvent& event) {
    static const char* const kKinds[] = {"open", "read", "write", "close"};
    std::ostringstream out;
    out << "{\"event\":\"" << kKinds[event.kind] << "\",\"file\":\"" << emu_file_name(event.file)
        << "\"";
    if (event.kind == EmuEvent::kRead)
        out << ",\"offset\":" << event.offset;
    if (event.kind == EmuEvent::kRead || event.kind == EmuEvent::kWrite) {
        out << ",\"size\":" << event.size;
    }
    out << ",\"ok\":" << (event.ok ? "true" : "false") << "}";
    return out.str();
}

std::string emu_command_json(const EmuSector& sector) {
    char head[64];
    std::snprintf(head, sizeof head, "{\"event\":\"command\",\"target\":%u,\"operation\":%u,",
                  sector.target(), sector.operation());
    return std::string(head) + "\"sector\":\"" + to_hex(sector.bytes, kEmuSectorSize) + "\"}";
}
