// Little-endian parameter fields of a command sector.
#pragma once

#include <cstddef>
#include <cstdint>

inline void put_le16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void put_le24(std::uint8_t* at, std::uint32_t value) {
    put_le16(at, value);
    at[2] = static_cast<std::uint8_t>(value >> 16);
}

inline void put_le32(std::uint8_t* at, std::uint32_t value) {
    put_le24(at, value);
    at[3] = static_cast<std::uint8_t>(value >> 24);
}
