// cartfw: brings the firmware of the cartridge reader/writer up to date.
#include "updater/entry.h"

int main() {
    return run_entry();
}
