// The exported text utilities other modules of the host may call: the date
// and a 12-hour time, trimming, colour-code removal and four case changes.
// Results live in this file's two scratch blocks (result block: make_date,
// make_time, alltrim; work block: the rest) and last until the next call
// that uses the same block. Arguments are cut, never overrun: a case
// change sees at most 274 characters, alltrim returns at most 274.
#include "module/textutil/textutil.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "include/host_interface.h"

namespace {

constexpr size_t kArgumentSize = 275;  // a case change sees at most 274 characters

// The two blocks, allocated once at start-up and never freed.
struct TextUtilityBuffers {
    char* work = nullptr;    // kTextWorkSize bytes
    char* result = nullptr;  // kTextResultSize bytes
};
TextUtilityBuffers buffers;

// Copies at most size-1 characters of src into dst and terminates it.
void copy_bounded(char* dst, const char* src, size_t size) {
    size_t n = 0;
    while (src != nullptr && src[n] != '\0' && n + 1 < size) {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = '\0';
}

int upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}
int lower(char c) {
    return std::tolower(static_cast<unsigned char>(c));
}
bool vowel(int c) {
    return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}

enum class Case { kUpper, kLower, kConsonantsUpper, kWordsCapitalised };

// The case changes: argument copied first (so it may be an earlier
// result in the work block), then each character rewritten into the work block.
char* change_case(const char* text, Case how) {
    std::array<char, kArgumentSize> argument_copy;
    copy_bounded(argument_copy.data(), text, argument_copy.size());
    const char* from = argument_copy.data();
    char* out = buffers.work;
    size_t i = 0;
    for (; from[i] != '\0'; ++i) {
        int c = 0;
        switch (how) {
            case Case::kUpper:
                c = upper(from[i]);
                break;
            case Case::kLower:
                c = lower(from[i]);
                break;
            case Case::kConsonantsUpper:
                c = upper(from[i]);
                if (vowel(c)) c = lower(static_cast<char>(c));
                break;
            case Case::kWordsCapitalised:
                // Only a blank starts a word; after a tab, "-" or "." it goes on.
                c = (i == 0 || from[i - 1] == ' ') ? upper(from[i]) : lower(from[i]);
                break;
        }
        out[i] = static_cast<char>(c);
    }
    out[i] = '\0';
    return out;
}

}  // namespace

namespace zmb {
void allocate_text_utility_buffers() {
    buffers.work = static_cast<char*>(alcmem(kTextWorkSize));
    buffers.result = static_cast<char*>(alcmem(kTextResultSize));
    buffers.work[0] = buffers.result[0] = '\0';
}
}  // namespace zmb

extern "C" {

char* make_date(void) {
    copy_bounded(buffers.result, ncdate(today()), zmb::kTextResultSize);
    return buffers.result;
}

char* make_time(void) {
    // The host's time text is "HH:MM..."; anything shorter reads as 00:00.
    std::array<char, 6> clock{'0', '0', ':', '0', '0', '\0'};
    const char* host_time = nctime(now());
    for (size_t i = 0; i < 5 && host_time != nullptr && host_time[i] != '\0'; ++i) {
        clock[i] = host_time[i];
    }
    long hour = std::atol(clock.data());
    const char* suffix = hour >= 12 ? "PM" : "AM";
    if (hour > 12) hour -= 12;
    if (hour == 0) hour = 12;
    std::array<char, zmb::kTextResultSize> text;
    std::snprintf(text.data(), text.size(), "%s:%c%c %s", l2as(hour), clock[3], clock[4], suffix);
    copy_bounded(buffers.result, text.data(), zmb::kTextResultSize);
    return buffers.result;
}

char* alltrim(char* text) {
    if (text == nullptr) {
        buffers.result[0] = '\0';
        return buffers.result;
    }
    depad(text);  // the trailing blanks go from the argument itself
    copy_bounded(buffers.result, skpwht(text), zmb::kTextResultSize);
    return buffers.result;
}

char* removecolor(const char* text) {
    // A backquote and the character after it go; the result stops after 241.
    constexpr size_t kMaxKept = 241;
    char* out = buffers.work;
    size_t kept = 0;
    for (size_t i = 0; text != nullptr && text[i] != '\0'; ++i) {
        if (kept >= kMaxKept) break;
        if (text[i] == '`') {
            if (text[i + 1] == '\0') break;
            ++i;
            continue;
        }
        out[kept++] = text[i];
    }
    out[kept] = '\0';
    return out;
}

char* ucase(const char* text) {
    return change_case(text, Case::kUpper);
}
char* lcase(const char* text) {
    return change_case(text, Case::kLower);
}
char* ocase(const char* text) {
    return change_case(text, Case::kConsonantsUpper);
}
char* mcase(const char* text) {
    return change_case(text, Case::kWordsCapitalised);
}

}  // extern "C"
