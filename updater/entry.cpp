#include "updater/entry.h"

#include <climits>
#include <cstring>

#include "data/firmware_image.h"
#include "device_link/startup.h"
#include "host/host.h"
#include "updater/console.h"
#include "updater/update_run.h"

namespace {

constexpr char kReferenceIdentity[] = "NES_PCB02_FW302";
constexpr std::size_t kComparedPrefix = 13;  // "NES_PCB02_FW3"
constexpr std::size_t kRevisionOffset = 12;

bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int parse_revision(const char* text) {
    while (is_blank(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

Outcome classify_identity(int* revision) {
    const std::uint8_t* id = g_device_identity.bytes;
    *revision = parse_revision(identity_text() + kRevisionOffset);
    if (std::memcmp(id, kReferenceIdentity, kComparedPrefix) == 0) {
        return *revision <= kLastOldRevision ? Outcome::kOldFirmware : Outcome::kCurrent;
    }
    if (std::memcmp(id, "BOOT", 4) == 0 && std::memcmp(id + 4, "0301", 4) == 0) {
        return Outcome::kBootloader;
    }
    return Outcome::kNotSupported;
}

int run_entry() {
    if (kFirmwareIsSample) {
        print_std("%s\n", kSampleFirmwareNotice);
    }
    device_startup(0, 0);
    int revision = 0;
    switch (classify_identity(&revision)) {
        case Outcome::kOldFirmware:
            update_switch_first(revision);
            break;
        case Outcome::kCurrent:
            print_std("Firmware not need update %d\n", revision);
            break;
        case Outcome::kBootloader:
            update_now();
            break;
        case Outcome::kNotSupported:
            print_std("Device %s not support\n", identity_text());
            break;
    }
    print_std("press any key to exit.\n");
    host_read_char();
    return 0;
}
