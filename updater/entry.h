// The tool's entry: start-up, the identity check and the final pause.
#pragma once

// What the identity says should happen.
enum class Outcome {
    kOldFirmware,   // NES application at revision 303 or lower: switch, then update
    kCurrent,       // NES application at revision 304 or higher
    kBootloader,    // "BOOT" "0301": update at once
    kNotSupported,  // anything else, including no device
};

constexpr int kLastOldRevision = 303;  // revisions up to this one are updated

// Classifies the identity record; `revision` receives the parsed revision.
Outcome classify_identity(int* revision);

// Parses decimal text as the standard conversion does (blanks, sign, digits),
// saturating at the int range.
int parse_revision(const char* text);

// The whole run of the tool. Always returns 0.
int run_entry();
