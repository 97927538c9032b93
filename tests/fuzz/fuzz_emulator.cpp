// The emulator's command decoder over arbitrary batches, sealed or not, in
// either mode: it must never crash or read outside a sector, and every reply
// read stays within the file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "data/firmware_image.h"
#include "emulator/emulator.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static EmuDevice device;
    EmuConfig config;
    config.family = static_cast<EmuFamily>(data[0] % 6);
    config.bootloader = (data[0] & 0x40) != 0;
    config.firmware.assign(g_firmware.image, g_firmware.image + kFirmwareImageSize);
    emu_init(device, config);

    std::vector<std::uint8_t> batch(data + 1, data + size);
    if ((data[0] & 0x80) != 0) {
        for (std::size_t at = 0; at + 512 <= batch.size(); at += 512) emu_seal(batch.data() + at);
    }
    require(emu_open(device, EmuFile::kCommand, true));
    require(emu_write(device, EmuFile::kCommand, batch.data(), batch.size()) ==
            static_cast<long>(batch.size()));
    emu_close(device, EmuFile::kCommand);
    require(device.commands.size() + static_cast<std::size_t>(device.bad_sectors) ==
            (batch.size() + 511) / 512);

    std::uint8_t reply[2048];
    require(emu_read(device, EmuFile::kReply, 0, reply, sizeof reply) == 2048);
    require(emu_read(device, EmuFile::kReply, kEmuReplyFileSize - 5, reply, sizeof reply) == 5);
    require(emu_read(device, EmuFile::kData, kEmuDataFileSize - 7, reply, sizeof reply) == 7);
    return 0;
}
