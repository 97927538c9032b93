// The device vanishes at every exchange of a whole switch-first update in
// turn, comes back with whatever its flash and boot flag hold (as after an
// unplug), and the user runs the tool again, at most twice. Every point must
// end with the device in its application firmware with every block right.
#include <iostream>

#include "fixture.h"
#include "updater/entry.h"

namespace {

class InterruptionSweep : public DeviceTest {
   protected:
    bool device_is_current() const {
        return !device.bootloader &&
               std::equal(device.flash.begin(), device.flash.end(), pristine_image().begin());
    }

    // One run of the tool as a user starts it.
    void run_tool() {
        sim_reset();
        startup_reset();
        sim_attach_device('D', &device);
        run_entry();
        ASSERT_EQ(current_image(), pristine_image()) << "the run left the image masked";
    }
};

TEST_F(InterruptionSweep, EveryExchangeRecoversWithinTwoMoreRuns) {
    attach(emu_config(EmuFamily::kNes, "302"));
    run_tool();
    ASSERT_TRUE(device_is_current());
    const long exchanges = device.exchanges;
    ASSERT_GT(exchanges, 100);

    long recovered = 0;
    std::vector<std::string> stuck;
    for (long k = 1; k <= exchanges; ++k) {
        emu_init(device, emu_config(EmuFamily::kNes, "302"));
        device.faults.vanish_after = k - 1;  // exchange k is the first to fail
        run_tool();
        for (int again = 0; again < 2 && !device_is_current(); ++again) {
            emu_replug(device);
            if (device_is_current())
                break;
            run_tool();
        }
        emu_replug(device);
        if (device_is_current()) {
            ++recovered;
        } else {
            stuck.push_back("exchange " + std::to_string(k) +
                            (device.bootloader ? ": bootloader" : ": application ") +
                            device.revision);
        }
    }
    std::cout << "recovered " << recovered << " of " << exchanges << "\n";
    RecordProperty("recovered", static_cast<int>(recovered));
    RecordProperty("exchanges", static_cast<int>(exchanges));
    EXPECT_EQ(recovered, exchanges) << ::testing::PrintToString(stuck);
}

}  // namespace
