// The host's text helpers: comparisons that ignore letter case, blank
// skipping and trimming, bounded copy and number text. A null pointer is
// taken as the empty text so that no module call can crash the host here.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "include/host_interface.h"

namespace {

const char* or_empty(const char* s) {
    return s ? s : "";
}

int fold(char c) {
    return std::tolower(static_cast<unsigned char>(c));
}

// True when the first n characters of a and b agree, ignoring case.
bool same_run(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" {

int sameas(const char* a, const char* b) {
    a = or_empty(a);
    b = or_empty(b);
    size_t n = std::strlen(a);
    return n == std::strlen(b) && same_run(a, b, n);
}

int sameto(const char* prefix, const char* s) {
    prefix = or_empty(prefix);
    s = or_empty(s);
    size_t n = std::strlen(prefix);
    return n <= std::strlen(s) && same_run(prefix, s, n);
}

int samend(const char* s, const char* suffix) {
    s = or_empty(s);
    suffix = or_empty(suffix);
    size_t ns = std::strlen(s), nx = std::strlen(suffix);
    return nx <= ns && same_run(s + (ns - nx), suffix, nx);
}

int samein(const char* needle, const char* s) {
    needle = or_empty(needle);
    s = or_empty(s);
    size_t nn = std::strlen(needle), ns = std::strlen(s);
    if (nn > ns) return 0;
    for (size_t i = 0; i + nn <= ns; ++i) {
        if (same_run(s + i, needle, nn)) return 1;
    }
    return 0;
}

char* skpwht(const char* s) {
    s = or_empty(s);
    while (*s == ' ' || *s == '\t')
        ++s;
    return const_cast<char*>(s);
}

char* depad(char* s) {
    if (!s) return s;
    size_t n = std::strlen(s);
    while (n > 0 && s[n - 1] == ' ')
        s[--n] = 0;
    return s;
}

char* l2as(long value) {
    static char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%ld", value);
    return buffer;
}

char* stzcpy(char* dst, const char* src, int n) {
    if (!dst || n <= 0) return dst;
    src = or_empty(src);
    int i = 0;
    for (; i < n - 1 && src[i] != 0; ++i)
        dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

}  // extern "C"
