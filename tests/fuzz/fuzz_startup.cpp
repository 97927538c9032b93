// Start-up, classification and (for NES and bootloader identities) the update
// run over an arbitrary reply file. The reply file is the same for every read,
// so a block checksum can only match when the file's first two bytes happen
// to equal that block's expected value: any success line for a block whose
// expected checksum differs is a lie, and the image must be whole afterwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/firmware_image.h"
#include "device_link/startup.h"
#include "host/host_sim.h"
#include "tests/fuzz/fuzz_check.h"
#include "updater/entry.h"

namespace {

constexpr std::size_t kIdentityAt = 0x8000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FirmwareImageSet pristine = g_firmware;
    sim_reset();
    startup_reset();
    sim_add_drive('D', true);
    if (size > 0) {
        // Byte 0 picks the file size: from empty, through a cut identity, to
        // a little past the identity.
        std::size_t file_size = data[0] == 0xFF ? 0 : kIdentityAt + (data[0] * 13u) % 2100u;
        if (data[0] == 0xFE)
            file_size = size;  // a file that ends within the reply area
        std::vector<std::uint8_t> reply(file_size, 0);
        const std::size_t id_bytes = size > 17 ? 16 : (size > 1 ? size - 1 : 0);
        for (std::size_t i = 0; i < id_bytes && kIdentityAt + i < file_size; ++i) {
            reply[kIdentityAt + i] = data[1 + i];
        }
        for (std::size_t i = 17; i < size && i - 17 < file_size && i - 17 < kIdentityAt; ++i) {
            reply[i - 17] = data[i];
        }
        sim_put_file('D', "K-PORTAL.DMP", reply);
    }
    const std::vector<std::uint8_t> reply = sim_file('D', "K-PORTAL.DMP");
    const bool checksum_readable = reply.size() >= 2;
    const unsigned value = checksum_readable ? reply[0] | reply[1] << 8 : 0;

    require(run_entry() == 0);
    const std::string console = sim_console();

    require(std::memcmp(&g_firmware, &pristine, sizeof pristine) == 0);
    for (std::size_t b = 0; b < kFirmwareBlockCount; ++b) {
        const std::string line = "Update block " + std::to_string(b) + " success";
        const std::string rewritten = "Update block " + std::to_string(b) + " (";
        const bool claimed = console.find(line) != std::string::npos;
        const std::size_t at = console.find(rewritten);
        const bool claimed_after_write =
            at != std::string::npos &&
            console.compare(console.find(')', at) + 2, 9, ": success") == 0;
        if (claimed || claimed_after_write) {
            require(checksum_readable && value == g_firmware.checksums[b]);
        }
    }
    if (console.find("Update firmware success") != std::string::npos) {
        for (std::size_t b = 0; b < kFirmwareBlockCount; ++b) {
            require(checksum_readable && value == g_firmware.checksums[b]);
        }
    }
    const std::string prompt = "press any key to exit.\n";
    require(console.size() >= prompt.size() &&
            console.compare(console.size() - prompt.size(), prompt.size(), prompt) == 0);
    return 0;
}
