// The two text operations the whole engine uses to clean lines and to cut
// command arguments out of them at fixed positions.
#pragma once

#include <cstdint>

namespace zmb {

// Both build their result in script_buffers.slice (so at most 1047
// characters) and are safe when text already lies there.
// strip_controls drops every character below 32; 128..255 stay.
char* strip_controls(const char* text);
// The characters at positions first..last, both included, counted from 0;
// positions past the end give nothing.
char* slice_text(const char* text, int16_t first, int16_t last);

}  // namespace zmb
