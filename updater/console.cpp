#include "updater/console.h"

#include <cstdarg>
#include <cstdio>

#include "host/host.h"

namespace {

constexpr int kMessageSize = 1024;  // one formatted console message

// Formats into `buffer`; returns the length that fits (the text is cut at
// kMessageSize - 1 characters, as a fixed message buffer would cut it).
int format_message(char (&buffer)[kMessageSize], const char* format, std::va_list arguments) {
    const int wanted = std::vsnprintf(buffer, kMessageSize, format, arguments);
    if (wanted < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return wanted < kMessageSize ? wanted : kMessageSize - 1;
}

int write_message(bool coloured, std::uint16_t attribute, const char* format,
                  std::va_list arguments) {
    char buffer[kMessageSize];
    const int length = format_message(buffer, format, arguments);
    if (!coloured) {
        host_console_write(buffer, static_cast<std::size_t>(length));
        return length;
    }
    const std::uint16_t remembered = host_console_attribute();
    host_set_console_attribute(attribute);
    host_console_write(buffer, static_cast<std::size_t>(length));
    host_set_console_attribute(remembered);
    return length;
}

}  // namespace

int print_std(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    char buffer[kMessageSize];
    const int length = format_message(buffer, format, arguments);
    va_end(arguments);
    host_print_text(buffer, static_cast<std::size_t>(length));
    return length;
}

int print_error(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const int length = write_message(true, kAttributeError, format, arguments);
    va_end(arguments);
    return length;
}

int print_success(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const int length = write_message(true, kAttributeSuccess, format, arguments);
    va_end(arguments);
    return length;
}

int print_plain(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const int length = write_message(false, 0, format, arguments);
    va_end(arguments);
    return length;
}
