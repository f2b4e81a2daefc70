// Backquote colour codes translated to ANSI SGR sequences. colour_print is
// how every text reaches a user; its text is never used as a format.
#pragma once

#include <cstdint>

namespace zmb {

void colour_print(const char* text);
char* translate_colour_codes(
    const char* text);  // result in the renderer's own buffer; text must lie elsewhere
char* ansi_colour_sequence(int16_t foreground, int16_t background, int16_t attribute);
int16_t ansi_foreground_index(int16_t colour);
int16_t ansi_background_index(int16_t colour);

}  // namespace zmb
