// Line helpers of the record and list readers: whole lines read from a text
// file, and a text replaced everywhere in a line ignoring case.
#include "module/data/lines.h"

#include <cctype>
#include <cstring>

namespace zmb {

namespace {

constexpr size_t kReplaceChars = 499;  // replace_text works on texts this long

// Position of the first occurrence of find in text at or after from,
// ignoring case; -1 when there is none.
long find_ignoring_case(const char* text, size_t length, const char* find, size_t find_length,
                        size_t from) {
    for (size_t i = from; i + find_length <= length; ++i) {
        if (same_ignoring_case(text + i, find, find_length)) return static_cast<long>(i);
    }
    return -1;
}

}  // namespace

bool same_ignoring_case(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

long read_text_line(std::FILE* file, char* out, size_t out_size) {
    size_t kept = 0;
    long total = 0;
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        ++total;
        if (kept + 1 < out_size) out[kept++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    if (out_size > 0) out[kept] = '\0';
    return (total == 0 && c == EOF) ? -1 : total;
}

void replace_text(const char* find, const char* replacement, char* text) {
    const size_t find_length = std::strlen(find);
    const size_t replacement_length = std::strlen(replacement);
    if (find_length == 0) return;  // an empty text occurs everywhere: nothing sensible to do
    char result[kReplaceChars + 1];
    // Each pass replaces every occurrence; passes repeat while occurrences
    // remain. A replacement that brings back what it replaces would never
    // end, so the number of passes is bounded by the longest text.
    for (size_t pass = 0; pass <= kReplaceChars; ++pass) {
        const size_t length = std::strlen(text);
        long at = find_ignoring_case(text, length, find, find_length, 0);
        if (at < 0) return;
        size_t out = 0;
        size_t from = 0;
        while (at >= 0) {
            for (size_t i = from; i < static_cast<size_t>(at) && out < kReplaceChars; ++i)
                result[out++] = text[i];
            for (size_t i = 0; i < replacement_length && out < kReplaceChars; ++i)
                result[out++] = replacement[i];
            from = static_cast<size_t>(at) + find_length;
            at = find_ignoring_case(text, length, find, find_length, from);
        }
        for (size_t i = from; i < length && out < kReplaceChars; ++i)
            result[out++] = text[i];
        result[out] = '\0';
        std::memcpy(text, result, out + 1);
    }
}

}  // namespace zmb
