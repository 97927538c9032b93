// The reader over arbitrary file sizes, offsets and counts: it delivers only
// bytes the file really holds, from the right place, and never more than asked.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "device_link/device_files.h"
#include "device_link/startup.h"
#include "host/host_sim.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6)
        return 0;
    std::uint32_t offset = 0;
    std::memcpy(&offset, data, 4);
    const std::size_t count = (data[4] | data[5] << 8) % 4500u;
    const std::vector<std::uint8_t> file(data + 6, data + size);
    offset %= static_cast<std::uint32_t>(file.size() + 4096);

    sim_reset();
    startup_reset();
    sim_add_drive('D', true);
    sim_put_file('D', "DUMP.ROM", file);
    g_drive_letter = 'D';

    constexpr std::uint8_t kCanary = 0xA5;
    std::vector<std::uint8_t> out(count + 64, kCanary);
    const std::size_t delivered = read_data(offset, out.data(), count);
    require(delivered <= count);
    const std::size_t from = count >= 1024 ? offset - offset % 1024 : offset;
    require(delivered == 0 || from + delivered <= file.size());
    if (delivered > 0)
        require(std::memcmp(out.data(), file.data() + from, delivered) == 0);
    for (std::size_t i = count; i < out.size(); ++i) require(out[i] == kCanary);
    if (count < 1024) {
        for (std::size_t i = delivered; i < count; ++i) require(out[i] == kCanary);
    }
    return 0;
}
