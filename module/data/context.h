// The working copy of the current user's per-user area, `context`, and the
// accessors the module reads and writes it with. It is filled from the
// host's per-user area at the start of a call and written back after changes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "include/record_layout.h"
#include "module/data/module_state.h"

namespace zmb {

// The working copy is module_state.context. Between calls it holds whatever
// the last user left.
inline uint8_t* working_copy() {
    return module_state.context.data();
}

inline uint8_t get(U8Field f) {
    return get(working_copy(), f);
}
inline int16_t get(I16Field f) {
    return get(working_copy(), f);
}
inline uint16_t get(U16Field f) {
    return get(working_copy(), f);
}
inline int32_t get(I32Field f) {
    return get(working_copy(), f);
}
inline void set(U8Field f, uint8_t v) {
    set(working_copy(), f, v);
}
inline void set(I16Field f, int16_t v) {
    set(working_copy(), f, v);
}
inline void set(U16Field f, uint16_t v) {
    set(working_copy(), f, v);
}
inline void set(I32Field f, int32_t v) {
    set(working_copy(), f, v);
}

// A ScriptState text field as a C string. Every writer keeps it terminated
// inside the field; `text` does not rely on that and forces the last byte 0.
// PlayerRecord texts come from the game's file and must never be changed:
// read them with copy_text.
inline char* text(TextField f) {
    working_copy()[f.at + f.size - 1] = 0;
    return reinterpret_cast<char*>(working_copy() + f.at);
}
inline std::string_view text_view(TextField f) {
    return text_view(working_copy(), f);
}
// text_view copied into out (at least f.size bytes) and terminated.
inline char* copy_text(TextField f, char* out) {
    const std::string_view v = text_view(f);
    v.copy(out, v.size());
    out[v.size()] = '\0';
    return out;
}
inline void set_text(TextField f, std::string_view s) {
    set_text(working_copy(), f, s);
}

namespace player {
inline uint8_t* record() {
    return working_copy() + kPlayerBase;
}
}  // namespace player
namespace trip {
inline uint8_t* record() {
    return working_copy() + kTripBase;
}
}  // namespace trip

// Copies the current user's per-user area into the working copy, or back,
// but only while the user's current module is this module.
void load_user_context();
void save_user_context();

}  // namespace zmb
