// The Windows host: the Win32 calls themselves.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/host.h"

namespace {

constexpr std::size_t kSectorAlign = 4096;  // no-buffering buffers: sector-aligned
constexpr std::size_t kSectorUnit = 512;    // and whole sectors

HANDLE handle_of(HostFile file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

std::uint32_t host_logical_drives() {
    return static_cast<std::uint32_t>(GetLogicalDrives());
}

bool host_drive_is_removable(const char* root) {
    return GetDriveTypeA(root) == DRIVE_REMOVABLE;
}

HostFile host_open_write(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kHostNoFile : reinterpret_cast<HostFile>(file);
}

HostFile host_open_read(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    return file == INVALID_HANDLE_VALUE ? kHostNoFile : reinterpret_cast<HostFile>(file);
}

bool host_seek(HostFile file, std::uint32_t offset) {
    LONG high = 0;
    const DWORD low = SetFilePointer(handle_of(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

long host_read(HostFile file, void* destination, std::size_t count) {
    // Unbuffered reads need a sector-aligned buffer and whole sectors.
    const std::size_t size = (count + kSectorUnit - 1) / kSectorUnit * kSectorUnit;
    void* buffer = VirtualAlloc(nullptr, size == 0 ? kSectorAlign : size, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
    if (buffer == nullptr)
        return -1;
    DWORD got = 0;
    const BOOL ok = ReadFile(handle_of(file), buffer, static_cast<DWORD>(size), &got, nullptr);
    long result = -1;
    if (ok) {
        const std::size_t n = got < count ? got : count;
        std::memcpy(destination, buffer, n);
        result = static_cast<long>(n);
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
    return result;
}

long host_write(HostFile file, const void* source, std::size_t count) {
    DWORD done = 0;
    if (!WriteFile(handle_of(file), source, static_cast<DWORD>(count), &done, nullptr))
        return -1;
    return static_cast<long>(done);
}

void host_close(HostFile file) {
    CloseHandle(handle_of(file));
}

void host_sleep_ms(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::uint16_t host_console_attribute() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return 7;
    return info.wAttributes;
}

void host_set_console_attribute(std::uint16_t attribute) {
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), attribute);
}

void host_print_text(const char* text, std::size_t length) {
    std::fwrite(text, 1, length, stdout);
    std::fflush(stdout);
}

void host_console_write(const char* text, std::size_t length) {
    std::fflush(stdout);
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length), &done, nullptr);
}

int host_read_char() {
    return std::getchar();
}
