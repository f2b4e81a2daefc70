// Line helpers of the record and list readers: reading one whole line of a
// text file, and replacing a text everywhere in a line ignoring case.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zmb {

// Reads one whole line: keeps at most out_size-1 characters of it (its line
// feed included when that fits), skips the rest, always terminates out.
// Returns the number of characters the line had, or -1 at the end of file.
long read_text_line(std::FILE* file, char* out, size_t out_size);

// Replaces in place every occurrence of find (ignoring case) by replacement,
// repeating until none is left. Texts of up to 499 characters; a result is
// cut there, so text needs room for 500 bytes when replacement is the longer.
void replace_text(const char* find, const char* replacement, char* text);

// True when the first n characters of a and b are equal ignoring case.
bool same_ignoring_case(const char* a, const char* b, size_t n);

}  // namespace zmb
