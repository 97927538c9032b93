// The built-in firmware image set: twenty 1 KiB flash blocks and the
// checksum the device reports for each block once it holds the right content.
// The image is masked in place during an update run and restored before the
// run returns.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kFirmwareBlockSize = 1024;
constexpr std::size_t kFirmwareBlockCount = 20;
constexpr std::size_t kFirmwareImageSize = kFirmwareBlockSize * kFirmwareBlockCount;

struct FirmwareImageSet {
    std::uint8_t image[kFirmwareImageSize];
    std::uint16_t checksums[kFirmwareBlockCount];
};

extern FirmwareImageSet g_firmware;

// True when the build embeds the sample set, which updates only the emulator.
extern const bool kFirmwareIsSample;
extern const char kSampleFirmwareNotice[];
