#include "updater/update_run.h"

#include <cstdio>

#include "commands/system_commands.h"
#include "data/firmware_image.h"
#include "host/host.h"
#include "updater/console.h"

namespace {

constexpr std::size_t kSerialSize = 8;

// Image byte k is sent XOR serial byte (k mod 8); applying it twice restores.
void mask_image(const std::uint8_t (&key)[kSerialSize]) {
    for (std::size_t k = 0; k < kFirmwareImageSize; ++k) {
        g_firmware.image[k] ^= key[k % kSerialSize];
    }
}

std::uint32_t block_address(std::size_t block) {
    return kFlashBase + static_cast<std::uint32_t>(kFirmwareBlockSize * block);
}

// A checksum verifies a block only when the device really answered: a reply
// that could not be read proves nothing, even against an expected 0.
bool block_verifies(std::size_t block, std::uint16_t* sum) {
    bool reply_read = false;
    *sum = read_block_checksum(block_address(block), &reply_read);
    return reply_read && *sum == g_firmware.checksums[block];
}

// Brings one block up to date. Returns false when it does not verify.
bool update_block(std::size_t block) {
    const int b = static_cast<int>(block);
    std::uint16_t sum = 0;
    if (block_verifies(block, &sum)) {
        print_success("Update block %d success\r", b);
        return true;
    }
    print_std("Update block %d (%.4x)\r", b, static_cast<unsigned>(sum));
    erase_flash_block(block_address(block));
    host_sleep_ms(kEraseWaitMs);
    write_flash(block_address(block), g_firmware.image + kFirmwareBlockSize * block,
                kFirmwareBlockSize);
    if (block_verifies(block, &sum)) {
        print_success(": success");
        return true;
    }
    print_error("\nUpdate block %d failure\n", b);
    return false;
}

}  // namespace

void update_switch_first(int revision) {
    print_std("Current firmware ver is : %d\n", revision);
    print_success("Try to reboot device to bootloader\n");
    print_plain("Please wait......\n");
    if (set_boot_flag(kBootFlagBoot) == 0) {
        print_error("set bootloader error.\n");
        return;
    }
    host_sleep_ms(kBootFlagWaitMs);
    if (reboot_device() == 0) {
        print_error("set reboot error.\n");
        return;
    }
    host_sleep_ms(kRebootWaitMs);
    update_now();
}

void update_now() {
    print_success("Start update firmware.\n");
    if (begin_update() == 0) {
        print_error("update init error.\n");
        return;
    }
    std::uint8_t key[kSerialSize] = {};
    if (read_serial(key, kSerialSize) == 0) {
        print_error("read serial number error.\n");
        return;
    }
    print_std("SN:%.2X%.2X%.2X%.2X\n", key[0], key[1], key[2], key[3]);

    mask_image(key);
    bool failed = false;
    print_std("Erase block 0 (%.4X).\n", static_cast<unsigned>(read_block_checksum(kFlashBase)));
    erase_flash_block(kFlashBase);
    print_std("Erase block 0 finished %.4X\n",
              static_cast<unsigned>(read_block_checksum(kFlashBase)));
    for (std::size_t block = kFirmwareBlockCount; block-- > 0;) {
        if (!update_block(block)) {
            failed = true;
        }
    }
    mask_image(key);

    if (failed) {
        erase_flash_block(kFlashBase);
        print_error("\nUpdate firmware failure.try again\n");
        return;
    }
    print_success("\nUpdate firmware success.\n");
    set_boot_flag(kBootFlagClear);
    reboot_device();
}
