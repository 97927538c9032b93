#include "host/host_sim.h"

#include <cstring>
#include <map>

#include "emulator/emulator.h"
#include "host/host.h"

namespace {

struct SimDrive {
    bool removable = true;
    EmuDevice* device = nullptr;                             // null: in-memory files
    std::map<std::string, std::vector<std::uint8_t>> files;  // in-memory drive
    bool fail_writes = false;
};

struct SimHandle {
    char letter = 0;
    std::string name;
    bool write = false;
    std::uint64_t position = 0;
    bool open = false;
};

struct ConsoleChunk {
    std::uint16_t attribute;
    std::string text;
};

struct SimState {
    std::map<char, SimDrive> drives;
    std::vector<SimHandle> handles;
    std::vector<SimRead> reads;
    std::vector<std::string> type_queries;
    std::vector<std::uint32_t> sleeps;
    std::vector<ConsoleChunk> console;
    std::uint16_t attribute = kSimDefaultAttribute;
    std::string input;
    std::size_t input_at = 0;
    int char_reads = 0;
};

SimState& sim() {
    static SimState state;
    return state;
}

// "D:\NAME" into letter and name; false when the path is not of that form.
bool split_path(const char* path, char* letter, std::string* name) {
    if (path == nullptr || std::strlen(path) < 4 || path[1] != ':' || path[2] != '\\') {
        return false;
    }
    *letter = path[0];
    *name = path + 3;
    return true;
}

SimDrive* find_drive(char letter) {
    auto found = sim().drives.find(letter);
    return found == sim().drives.end() ? nullptr : &found->second;
}

SimHandle* find_handle(HostFile file) {
    if (file < 0 || static_cast<std::size_t>(file) >= sim().handles.size())
        return nullptr;
    SimHandle& handle = sim().handles[static_cast<std::size_t>(file)];
    return handle.open ? &handle : nullptr;
}

HostFile open_file(const char* path, bool write) {
    char letter = 0;
    std::string name;
    if (!split_path(path, &letter, &name))
        return kHostNoFile;
    SimDrive* drive = find_drive(letter);
    if (drive == nullptr)
        return kHostNoFile;
    if (drive->device != nullptr) {
        if (!emu_open(*drive->device, emu_file_from_name(name.c_str()), write)) {
            return kHostNoFile;
        }
    } else if (write) {
        drive->files[name].clear();
    } else if (drive->files.count(name) == 0) {
        return kHostNoFile;
    }
    sim().handles.push_back(SimHandle{letter, name, write, 0, true});
    return static_cast<HostFile>(sim().handles.size() - 1);
}

void add_console(const char* text, std::size_t length) {
    auto& console = sim().console;
    if (!console.empty() && console.back().attribute == sim().attribute) {
        console.back().text.append(text, length);
    } else {
        console.push_back(ConsoleChunk{sim().attribute, std::string(text, length)});
    }
}

}  // namespace

void sim_reset() {
    sim() = SimState{};
}

void sim_attach_device(char letter, EmuDevice* device, bool removable) {
    SimDrive drive;
    drive.removable = removable;
    drive.device = device;
    sim().drives[letter] = drive;
}

void sim_add_drive(char letter, bool removable) {
    SimDrive drive;
    drive.removable = removable;
    sim().drives[letter] = drive;
}

void sim_put_file(char letter, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    sim().drives[letter].files[name] = bytes;
}

std::vector<std::uint8_t> sim_file(char letter, const std::string& name) {
    SimDrive* drive = find_drive(letter);
    if (drive == nullptr || drive->files.count(name) == 0)
        return {};
    return drive->files[name];
}

void sim_fail_writes(char letter) {
    sim().drives[letter].fail_writes = true;
}

const std::vector<SimRead>& sim_reads() {
    return sim().reads;
}
const std::vector<std::string>& sim_type_queries() {
    return sim().type_queries;
}
const std::vector<std::uint32_t>& sim_sleeps() {
    return sim().sleeps;
}

std::string sim_console() {
    std::string out;
    for (const ConsoleChunk& chunk : sim().console) {
        if (chunk.attribute == kSimDefaultAttribute) {
            out += chunk.text;
        } else {
            out += "[" + std::to_string(chunk.attribute) + "]" + chunk.text + "[/]";
        }
    }
    return out;
}

void sim_set_input(const std::string& text) {
    sim().input = text;
    sim().input_at = 0;
}

int sim_char_reads() {
    return sim().char_reads;
}

// The host interface.

std::uint32_t host_logical_drives() {
    std::uint32_t mask = 1U << 2;  // C: is always there
    for (const auto& [letter, drive] : sim().drives) {
        if (letter >= 'A' && letter <= 'Z') {
            mask |= 1U << (letter - 'A');
        }
    }
    return mask;
}

bool host_drive_is_removable(const char* root) {
    sim().type_queries.emplace_back(root);
    if (std::strlen(root) != 2 || root[1] != ':')
        return false;
    SimDrive* drive = find_drive(root[0]);
    return drive != nullptr && drive->removable;
}

HostFile host_open_write(const char* path) {
    return open_file(path, true);
}

HostFile host_open_read(const char* path) {
    return open_file(path, false);
}

bool host_seek(HostFile file, std::uint32_t offset) {
    SimHandle* handle = find_handle(file);
    if (handle == nullptr)
        return false;
    handle->position = offset;
    return true;
}

long host_read(HostFile file, void* destination, std::size_t count) {
    SimHandle* handle = find_handle(file);
    if (handle == nullptr || handle->write)
        return -1;
    SimDrive* drive = find_drive(handle->letter);
    if (drive == nullptr)
        return -1;
    auto* out = static_cast<std::uint8_t*>(destination);
    long got = 0;
    if (drive->device != nullptr) {
        got = emu_read(*drive->device, emu_file_from_name(handle->name.c_str()), handle->position,
                       out, count);
    } else {
        sim().reads.push_back(SimRead{std::string(1, handle->letter) + ":\\" + handle->name,
                                      static_cast<std::uint32_t>(handle->position), count});
        const std::vector<std::uint8_t>& bytes = drive->files[handle->name];
        const std::uint64_t size = bytes.size();
        const std::uint64_t from = handle->position < size ? handle->position : size;
        const std::uint64_t n = size - from < count ? size - from : count;
        if (n > 0)
            std::memcpy(out, bytes.data() + from, static_cast<std::size_t>(n));
        got = static_cast<long>(n);
    }
    if (got > 0)
        handle->position += static_cast<std::uint64_t>(got);
    return got;
}

long host_write(HostFile file, const void* source, std::size_t count) {
    SimHandle* handle = find_handle(file);
    if (handle == nullptr || !handle->write)
        return -1;
    SimDrive* drive = find_drive(handle->letter);
    if (drive == nullptr)
        return -1;
    const auto* in = static_cast<const std::uint8_t*>(source);
    if (drive->device != nullptr) {
        return emu_write(*drive->device, emu_file_from_name(handle->name.c_str()), in, count);
    }
    if (drive->fail_writes)
        return -1;
    std::vector<std::uint8_t>& bytes = drive->files[handle->name];
    bytes.insert(bytes.end(), in, in + count);
    return static_cast<long>(count);
}

void host_close(HostFile file) {
    SimHandle* handle = find_handle(file);
    if (handle == nullptr)
        return;
    handle->open = false;
    SimDrive* drive = find_drive(handle->letter);
    if (drive != nullptr && drive->device != nullptr) {
        emu_close(*drive->device, emu_file_from_name(handle->name.c_str()));
    }
}

void host_sleep_ms(std::uint32_t milliseconds) {
    sim().sleeps.push_back(milliseconds);
}

std::uint16_t host_console_attribute() {
    return sim().attribute;
}

void host_set_console_attribute(std::uint16_t attribute) {
    sim().attribute = attribute;
}

void host_print_text(const char* text, std::size_t length) {
    add_console(text, length);
}

void host_console_write(const char* text, std::size_t length) {
    add_console(text, length);
}

int host_read_char() {
    ++sim().char_reads;
    if (sim().input_at >= sim().input.size())
        return -1;
    return static_cast<unsigned char>(sim().input[sim().input_at++]);
}
