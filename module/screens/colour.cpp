// Placeholder until its owner lands the real code.
#include "module/screens/colour.h"
namespace zmb {
void colour_print(const char*) {}
char* translate_colour_codes(const char* t) { return const_cast<char*>(t); }
char* ansi_colour_sequence(int16_t, int16_t, int16_t) { return nullptr; }
int16_t ansi_foreground_index(int16_t) { return -1; }
int16_t ansi_background_index(int16_t) { return -1; }
}
