// Little-endian accessors for the module's binary records.
// Every stored integer is read and written byte by byte, least significant
// byte first, so the formats never depend on struct packing or host order.
#pragma once

#include <cstdint>

namespace zmb {

inline uint16_t load_u16le(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t load_i16le(const uint8_t* p) {
    return static_cast<int16_t>(load_u16le(p));
}
inline uint32_t load_u32le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t load_i32le(const uint8_t* p) {
    return static_cast<int32_t>(load_u32le(p));
}

inline void store_u16le(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store_i16le(uint8_t* p, int16_t v) {
    store_u16le(p, static_cast<uint16_t>(v));
}
inline void store_u32le(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline void store_i32le(uint8_t* p, int32_t v) {
    store_u32le(p, static_cast<uint32_t>(v));
}

}  // namespace zmb
