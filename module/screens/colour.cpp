// The colour renderer: a backquote and one code character become an ANSI
// SGR sequence. Each text is translated from a fresh state (foreground 0,
// background 0, blink off); a text that used a background or the blink
// toggle ends with ESC[0;36;40m so the colours do not leak into what follows.
#include "module/screens/colour.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "include/host_interface.h"
#include "module/script/keywords.h"

namespace zmb {
namespace {

// Palette colour (0..15) to ANSI colour (black red green yellow blue magenta
// cyan white, +8 for the bright half).
constexpr std::array<int16_t, 16> kForeground = {0, 4,  2,  6,  1, 5,  3,  7,
                                                 8, 12, 10, 14, 9, 13, 11, 15};

constexpr size_t kTranslationSize = 1048;
constexpr size_t kMaxTranslation = kTranslationSize - 1;  // 1047 characters
constexpr const char* kClosing = "\x1b[0;36;40m";         // foreground 3 on 0, attribute 0
constexpr size_t kClosingLength = 10;

// The renderer's own results: they last until its next call.
struct ColourBuffers {
    std::array<char, 16> sequence{};  // ESC [ attribute ; foreground ; background m
    std::array<char, kTranslationSize> translation{};
};
ColourBuffers buffers;

struct Translator {
    int16_t foreground = 0;
    int16_t background = 0;
    int16_t blink = 0;  // the attribute of dark foregrounds: 0 or 5
    bool blink_on = false;
    bool background_used = false;
};

// ESC [ attribute ; foreground ; background m into out (at most 15 bytes, not
// terminated); returns its length.
size_t write_colour_sequence(char* out, int16_t foreground, int16_t background, int16_t attribute) {
    int f = ansi_foreground_index(foreground);
    int b = ansi_background_index(background);
    int a = -1;
    if (f >= 0 && f <= 7) {
        a = attribute;
        f += 30;
    } else if (f >= 8 && f <= 15) {
        a = 1;  // bright colours: attribute 1 with 30..37, blink not repeated
        f += 22;
    }
    if (b >= 0) b += 40;

    // Every run of a display line builds several of these, so the digits are
    // written by hand rather than through snprintf.
    size_t n = 0;
    auto put_number = [&](int v) {
        char digits[6];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v > 0 && count < 5);
        while (count > 0)
            out[n++] = digits[--count];
    };
    out[n++] = '\x1b';
    out[n++] = '[';
    if (a >= 0) put_number(a);
    if (a >= 0 && (f >= 0 || b >= 0)) out[n++] = ';';
    if (f >= 0) put_number(f);
    if (f >= 0 && b >= 0) out[n++] = ';';
    if (b >= 0) put_number(b);
    out[n++] = 'm';
    return n;
}

// The output of one code: at most two sequences, written where `out` points.
struct Piece {
    char* out;
    size_t length = 0;
    void add(const char* bytes, size_t n) {
        std::memcpy(out + length, bytes, n);
        length += n;
    }
    void add_colours(int16_t foreground, int16_t background, int16_t attribute) {
        length += write_colour_sequence(out + length, foreground, background, attribute);
    }
};
constexpr size_t kPieceRoom = 2 * 16;

// The palette colour a code character names, or -1.
int16_t foreground_code(char code) {
    if (code == script::kSecondWhite) return 15;
    const size_t at = script::kForegroundCodes.find(code);
    return at != std::string_view::npos ? static_cast<int16_t>(at) : -1;
}

int16_t background_code(char code) {
    if (code >= 'a' && code <= 'z') code = static_cast<char>(code - 'a' + 'A');
    const size_t at = script::kBackgroundCodes.find(code);
    return at != std::string_view::npos ? static_cast<int16_t>(at) : -1;
}

// Applies one code character to the state and writes what it outputs into
// `out` (kPieceRoom bytes); returns the length written.
size_t apply_code(Translator& t, char code, char* out) {
    Piece piece{out};
    if (int16_t fg = foreground_code(code); fg >= 0) {
        t.foreground = fg;
        piece.add_colours(t.foreground, t.background, t.blink);
    } else if (code == script::kRandomForeground) {
        t.foreground = static_cast<int16_t>(std::rand() % 15 + 1);
        piece.add_colours(t.foreground, t.background, t.blink);
    } else if (int16_t bg = background_code(code); bg >= 0) {
        t.background = bg;
        t.background_used = true;
        piece.add_colours(t.foreground, t.background, t.blink);
    } else if (code == script::kRandomBackground || code == script::kRandomBackground - 'A' + 'a') {
        t.background = static_cast<int16_t>(std::rand() % 8);
        t.background_used = true;
        piece.add_colours(t.foreground, t.background, t.blink);
    } else if (code == script::kReset) {  // reset: the blink toggle itself stays as it was
        t.blink = 0;
        piece.add("\x1b[0m", 4);
        piece.add_colours(t.foreground, t.background, 0);
    } else if (code == script::kBlinkToggle) {
        t.background_used = true;
        if (!t.blink_on) {
            piece.add("\x1b[5m", 4);
            t.blink = 5;
            t.blink_on = true;
        } else {
            piece.add("\x1b[0m", 4);
            piece.add_colours(t.foreground, t.background, 0);
            t.blink = 0;
            t.blink_on = false;
        }
    }
    return piece.length;
}

}  // namespace

int16_t ansi_foreground_index(int16_t colour) {
    return (colour >= 0 && colour < 16) ? kForeground[static_cast<size_t>(colour)] : -1;
}

int16_t ansi_background_index(int16_t colour) {
    return (colour >= 0 && colour < 8) ? kForeground[static_cast<size_t>(colour)] : -1;
}

char* ansi_colour_sequence(int16_t foreground, int16_t background, int16_t attribute) {
    char* out = buffers.sequence.data();
    out[write_colour_sequence(out, foreground, background, attribute)] = '\0';
    return out;
}

char* translate_colour_codes(const char* text) {
    if (text == nullptr) text = "";
    Translator state;
    char* out = buffers.translation.data();
    size_t length = 0;
    // A piece is appended only when it fits with room left for the closing
    // sequence once one is due; the first piece that does not fit ends the
    // translation, so the output is cut at a code boundary.
    auto fits = [&](size_t piece_length, bool closing_due) {
        return length + piece_length + (closing_due ? kClosingLength : 0) <= kMaxTranslation;
    };
    for (const char* at = text; *at != '\0';) {
        // Plain text up to the next code goes over in one copy, as far as it fits.
        if (*at != script::kColourMark) {
            const char* mark = std::strchr(at, script::kColourMark);
            const size_t run = mark != nullptr ? static_cast<size_t>(mark - at) : std::strlen(at);
            const size_t reserved = state.background_used ? kClosingLength : 0;
            const size_t room = kMaxTranslation - reserved - length;
            std::memcpy(out + length, at, run < room ? run : room);
            length += run < room ? run : room;
            if (run > room) break;
            at += run;
            continue;
        }
        if (at[1] == '\0') break;  // a trailing backquote is dropped
        const Translator before = state;
        char piece[kPieceRoom];
        const size_t piece_length = apply_code(state, at[1], piece);
        if (!fits(piece_length, state.background_used)) {
            state = before;  // the code is not shown, so it does not colour the close
            break;
        }
        std::memcpy(out + length, piece, piece_length);
        length += piece_length;
        at += 2;
    }
    if (state.background_used) {
        std::memcpy(out + length, kClosing, kClosingLength);
        length += kClosingLength;
    }
    out[length] = '\0';
    return out;
}

void colour_print(const char* text) {
    prf("%s", translate_colour_codes(text));
}

}  // namespace zmb
