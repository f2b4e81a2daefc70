// String registers STRING1..STRING6: filling them (/STRING, /COPY, /MID),
// reshaping them with the text utilities (/ALLTRIM, /STRIP, /UCASE, /LCASE,
// /MCASE, /OCASE) and the four text tests that open a block (/SAMEAS,
// /SAMETO, /SAMEND, /INSIDE). Six of them are exported under their C names.
//
// Every command takes the line as the interpreter holds it: positions count
// from 0 at the slash and the line still ends in its line feed. A register
// never holds more than 25 characters, whatever the operation.
#include "module/script/string_commands.h"

#include <cstdio>
#include <cstring>

#include "include/host_interface.h"
#include "module/script/command_args.h"
#include "module/script/interpreter.h"
#include "module/script/keywords.h"
#include "module/script/text_slices.h"

namespace zmb {
namespace {

using RegisterText = char[state::kStringSize];

// The cleaned characters first..last of line, cut to 25 characters.
void operand_at(const char* line, int16_t first, int16_t last, RegisterText& out) {
    copy_cut(out, sizeof out, strip_controls(slice_text(line, first, last)));
}

// Replaces every control character of text by nothing, in place.
void drop_controls(char* text) {
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in)
        if (static_cast<unsigned char>(*in) >= 32) *out++ = *in;
    *out = '\0';
}

using TextTest = bool (*)(const char* reg, const char* operand);

// The procedure shared by /SAMEAS, /SAMETO, /SAMEND and /INSIDE: the register
// digit at 7, the operand at 9..33. When the test fails, skip to the end
// marker followed by the register character as written.
int16_t string_test(const char* line, TextTest holds, const char* end_marker) {
    if (shorter_than(line, 10)) return result::kGoOn;
    RegisterText operand;
    operand_at(line, 9, 33, operand);

    RegisterText reg = "";
    if (const int n = register_digit(line[7], kStringRegisters)) copy_string_register(n, reg);

    // An operand that begins with a register name stands for that register's
    // text; each name is tried once, in order, on the operand as it is then.
    for (int n = 1; n <= kStringRegisters; ++n) {
        char name[] = "STRING0";
        name[6] = static_cast<char>('0' + n);
        if (sameto(name, operand)) copy_string_register(n, operand);
    }

    if (holds(reg, operand)) return result::kGoOn;
    char target[16];
    std::snprintf(target, sizeof target, "%s%c", end_marker, line[7]);
    return arm_skip(target);
}

bool equal_text(const char* reg, const char* operand) {
    return sameas(reg, operand) != 0;
}
bool begins_with(const char* reg, const char* operand) {
    return sameto(operand, reg) != 0;
}
bool ends_with(const char* reg, const char* operand) {
    return samend(reg, operand) != 0;
}
bool contains(const char* reg, const char* operand) {
    return samein(operand, reg) != 0;
}

// Applies a text utility to the register named at position pos of the line.
void reshape(const char* line, size_t pos, char* (*utility)(const char*)) {
    if (shorter_than(line, pos + 1)) return;
    const int n = register_digit(line[pos], kStringRegisters);
    if (n == 0) return;
    RegisterText text;
    copy_string_register(n, text);
    const char* shaped = utility(text);
    set_string_register(n, shaped != nullptr ? shaped : "");
}

}  // namespace

// /STRINGr?text  - STRINGr becomes the cleaned text at 9..33 (spaces kept)
void dostring(const char* line) {
    if (shorter_than(line, 10)) return;
    const int n = register_digit(line[7], kStringRegisters);
    if (n == 0) return;
    RegisterText text;
    operand_at(line, 9, 33, text);
    set_string_register(n, text);
}

// /COPYs??d  - STRINGd becomes a copy of STRINGs
void docopy(const char* line) {
    if (shorter_than(line, 9)) return;
    const int from = register_digit(line[5], kStringRegisters);
    const int to = register_digit(line[8], kStringRegisters);
    if (from == 0 || to == 0) return;
    RegisterText text;
    copy_string_register(from, text);
    set_string_register(to, text);
}

// /MIDstart,length  - STRING1 becomes its characters start..start+length-1 (from 1)
void domid(const char* line) {
    if (shorter_than(line, 5)) return;
    char operand[31];  // positions 4..33
    copy_cut(operand, sizeof operand, strip_controls(slice_text(line, 4, 33)));
    if (operand[0] == '\0') return;

    // The start is the first character, whatever it is, and a second one when
    // that is a digit; a comma must follow it.
    const size_t start_chars = operand[1] >= '0' && operand[1] <= '9' ? 2 : 1;
    if (operand[start_chars] != ',') return;
    char start_text[3] = {};
    std::memcpy(start_text, operand, start_chars);
    char length_text[3] = {};
    copy_cut(length_text, sizeof length_text, operand + start_chars + 1);
    const long start = number_of(start_text);
    const long length = number_of(length_text);

    RegisterText text;
    copy_string_register(1, text);
    const long size = static_cast<long>(std::strlen(text));
    const long first = start < 1 ? 1 : start;  // 1-based, both ends included
    const long last = start + length - 1 > size ? size : start + length - 1;
    RegisterText part = "";
    if (length > 0 && first <= last) {
        std::memcpy(part, text + first - 1, static_cast<size_t>(last - first + 1));
        part[last - first + 1] = '\0';
    }
    drop_controls(part);
    set_string_register(1, part);
}

// /SAMEASr?text  - the block runs when STRINGr equals text, ignoring case
int16_t string_sameas(const char* line) {
    return string_test(line, equal_text, script::end_marker::kSameas.data());
}

}  // namespace zmb

// /ALLTRIMr  - STRINGr without its leading white space and trailing blanks
extern "C" void dotrim(const char* script_line) {
    using namespace zmb;
    if (shorter_than(script_line, 9)) return;
    const int n = register_digit(script_line[8], kStringRegisters);
    if (n == 0) return;
    RegisterText text;
    copy_string_register(n, text);
    const char* trimmed = alltrim(text);  // its result lies in the result buffer
    set_string_register(n, trimmed != nullptr ? trimmed : "");
}

// /STRIPr  - STRINGr without its colour codes
extern "C" void stripit(const char* script_line) {
    zmb::reshape(script_line, 6, removecolor);
}

// /UCASEr (1), /LCASEr (2), /MCASEr (3), /OCASEr (4)  - STRINGr in another letter case
extern "C" void swapcase(const char* script_line, int16_t selector) {
    using Utility = char* (*)(const char*);
    constexpr Utility kBySelector[] = {ucase, lcase, mcase, ocase};
    if (selector < 1 || selector > 4) return;
    zmb::reshape(script_line, 6, kBySelector[selector - 1]);
}

// /SAMENDr?text  - the block runs when STRINGr ends with text
extern "C" int16_t string_endswith(const char* script_line) {
    return zmb::string_test(script_line, zmb::ends_with, zmb::script::end_marker::kSamend.data());
}

// /SAMETOr?text  - the block runs when STRINGr begins with text
extern "C" int16_t string_beginswith(const char* script_line) {
    return zmb::string_test(script_line, zmb::begins_with, zmb::script::end_marker::kSameto.data());
}

// /INSIDEr?text  - the block runs when text occurs within STRINGr
extern "C" int16_t string_inside(const char* script_line) {
    return zmb::string_test(script_line, zmb::contains, zmb::script::end_marker::kInside.data());
}
