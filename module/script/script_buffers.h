// The script engine's own scratch: the line being run, the same line after
// substitution, and the text that the line helpers cut out of it. Only the
// script engine writes them.
#pragma once

#include <array>
#include <cstddef>

namespace zmb {

inline constexpr size_t kLineSize = 275;      // a script line as read (the header too)
inline constexpr size_t kExpandedSize = 275;  // a script line after substitution
inline constexpr size_t kSliceSize = 1048;    // strip_controls and slice_text results

struct ScriptBuffers {
    char* expanded = nullptr;              // kExpandedSize bytes from alcmem; what handlers see
    std::array<char, kLineSize> line{};    // the loader's header, the run driver's line
    std::array<char, kSliceSize> slice{};  // the result of strip_controls and slice_text
};
extern ScriptBuffers script_buffers;

// Start-up: the expansion block from the host's alcmem.
void allocate_script_buffers();

}  // namespace zmb
