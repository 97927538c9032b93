// Console output. The standard formatted print (`print_std`) goes out through
// the C runtime's standard output; the three message operations format into a
// 1024-byte buffer and write it with one raw console write, the coloured ones
// in their own text attribute. Both routes reach the console in program order.
#pragma once

#include <cstdint>

constexpr std::uint16_t kAttributeSuccess = 10;  // bright green
constexpr std::uint16_t kAttributeError = 12;    // bright red

// printf-style, flushed at the end of each call. Returns the length printed.
int print_std(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In bright red, then the remembered attribute again. Returns the length.
int print_error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In bright green, then the remembered attribute again. Returns the length.
int print_success(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In the console's current attribute. Returns the length.
int print_plain(const char* format, ...) __attribute__((format(printf, 1, 2)));
