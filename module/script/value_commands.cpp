// Value registers VAL1..VAL9 (/VAL, /IFVAL), random choices (/RANDOM:,
// /RAND:) and the reward amounts behind /MONEY: and /EXPER:.
//
// Register arithmetic is 32-bit two's complement and wraps; it is done in
// unsigned arithmetic so that wrapping is defined. Every random number comes
// from the C library's rand(), one draw per use, in the order written here.
#include "module/script/value_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "include/host_interface.h"
#include "module/script/command_args.h"
#include "module/script/interpreter.h"
#include "module/script/keywords.h"
#include "module/script/text_slices.h"

namespace zmb {
namespace {

constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();

// An operand of /VAL or /IFVAL other than CONVERT: "VALn" names a register
// (a 4th character that is no register digit gives 0), anything else is a number.
int32_t operand_value(const char* operand) {
    if (sameto("VAL", operand) && std::strlen(operand) >= 4) {
        const int n = register_digit(operand[3], kValueRegisters);
        return n != 0 ? get(state::value(n)) : 0;
    }
    return number_of(operand);
}

int32_t wrapping(uint32_t bits) {
    return static_cast<int32_t>(bits);
}

// The count of /RANDOM: and /RAND:, kept as its low 16 bits. A count of 0
// (also a missing or non-numeric one) would divide by zero; it acts as 1.
int16_t random_count(const char* line, int16_t first, int16_t last) {
    const long n = std::strtol(slice_text(line, first, last), nullptr, 10);
    const auto count = static_cast<int16_t>(static_cast<unsigned long>(n) & 0xFFFFu);
    return count != 0 ? count : 1;
}

// (r rem n) + 1 for a fresh r; r is never negative, so a negative n acts as |n|.
int16_t draw_one_to(int16_t n) {
    return static_cast<int16_t>(std::rand() % n + 1);
}

// A fraction times 100 (the fraction single precision, the product exact),
// truncated toward zero and held to the 16-bit range.
int percent_of(float fraction) {
    const double p = static_cast<double>(fraction) * 100.0;
    if (!(p > -32768.0)) return -32768;  // also NaN
    if (p > 32767.0) return 32767;
    return static_cast<int>(p);
}

constexpr int32_t kMoneyTable[12] = {25,    75,    250,   1250,   3750,   5000,
                                     10000, 25000, 60000, 150000, 400000, 800000};
constexpr int32_t kExperienceTable[12] = {1000,     4000,     10000,     40000,
                                          100000,   400000,   1000000,   4000000,
                                          10000000, 40000000, 100000000, 400000000};

}  // namespace

// /VALr?operand  - VALr set (=), added to (+), subtracted from (-),
// multiplied (*) or divided (/) by the operand at 6..50
void doval(const char* line) {
    if (shorter_than(line, 7) || !sameto("/VAL", line)) return;
    const int target = register_digit(line[4], kValueRegisters);
    if (target == 0) return;
    char op = line[5];
    if (std::strchr("=+-*/", op) == nullptr || op == '\0') return;

    char operand[46];  // positions 6..50
    copy_cut(operand, sizeof operand, slice_text(line, 6, 50));
    int32_t value = 0;
    if (sameto("CONVERT", operand) && std::strlen(operand) >= 8) {
        // CONVERTd: the number at the start of STRINGd, always a set.
        const int source = register_digit(operand[7], kStringRegisters);
        if (source == 0) return;
        char text[state::kStringSize];
        copy_string_register(source, text);
        value = number_of(text);
        op = '=';
    } else {
        value = operand_value(operand);
    }

    const int32_t current = get(state::value(target));
    const auto a = static_cast<uint32_t>(current);
    const auto b = static_cast<uint32_t>(value);
    int32_t next = current;
    switch (op) {
        case '=':
            next = value;
            break;
        case '+':
            next = wrapping(a + b);
            break;
        case '-':
            next = wrapping(a - b);
            break;
        case '*':
            next = wrapping(a * b);
            break;
        case '/':
            // Dividing by zero, or the most negative value by -1, leaves the
            // target as it was rather than stopping the host.
            if (value != 0 && !(current == kMin32 && value == -1)) next = current / value;
            break;
    }
    set(state::value(target), next);
}

// /IFVALr<cmp>operand  - the block up to /ENDVALr runs when VALr compares
// as asked (=, <, >, <=, >=, <>) with the operand
int16_t ifval(const char* line) {
    if (shorter_than(line, 9) || !sameto("/IFVAL", line)) return result::kGoOn;
    const int n = register_digit(line[6], kValueRegisters);
    const int32_t r = n != 0 ? get(state::value(n)) : 0;

    enum class Compare { none, equal, less, greater, at_most, at_least, not_equal };
    Compare cmp = Compare::none;
    int16_t from = 8;
    switch (line[7]) {
        case '=':
            cmp = Compare::equal;
            break;
        case '<':
            if (line[8] == '=')
                cmp = Compare::at_most, from = 9;
            else if (line[8] == '>')
                cmp = Compare::not_equal, from = 9;
            else
                cmp = Compare::less;
            break;
        case '>':
            if (line[8] == '=')
                cmp = Compare::at_least, from = 9;
            else
                cmp = Compare::greater;
            break;
        default:
            break;
    }
    char operand[12];  // at most positions 8..18
    copy_cut(operand, sizeof operand, slice_text(line, from, 18));
    const int32_t v = operand_value(operand);

    bool holds = false;
    switch (cmp) {
        case Compare::none:
            holds = false;
            break;
        case Compare::equal:
            holds = r == v;
            break;
        case Compare::less:
            holds = r < v;
            break;
        case Compare::greater:
            holds = r > v;
            break;
        case Compare::at_most:
            holds = r <= v;
            break;
        case Compare::at_least:
            holds = r >= v;
            break;
        case Compare::not_equal:
            holds = r != v;
            break;
    }
    if (holds) return result::kGoOn;
    char target[16];
    std::snprintf(target, sizeof target, "%s%d", script::end_marker::kValue.data(), n);
    return arm_skip(target);
}

// /RANDOM:n  - skip to the marker /kRANDOM for a random k in 1..n
// /RAND:n    - VAL1 becomes a random number in 1..n
// any other line that begins with /RAND does nothing
int16_t dorandom(const char* line) {
    if (line == nullptr) return result::kGoOn;
    if (sameto("/RANDOM:", line)) {
        const int16_t k = draw_one_to(random_count(line, 8, 11));
        char target[16];
        std::snprintf(target, sizeof target, "/%d%s", k, script::end_marker::kRandomSuffix.data());
        return arm_skip(target);
    }
    if (sameto("/RAND:", line)) set(state::value(1), draw_one_to(random_count(line, 6, 15)));
    return result::kGoOn;
}

// The gold base of a level: a table amount (0 outside levels 1..12) times 3
// or 4, chosen by one draw.
int32_t money_base(int16_t level) {
    const int32_t amount = level >= 1 && level <= 12 ? kMoneyTable[level - 1] : 0;
    return amount * (std::rand() % 2 + 3);
}

// The experience base of a level: a table amount / 250, never below 10.
int32_t experience_base(int16_t level) {
    if (level < 1 || level > 12) return 10;
    const int32_t amount = kExperienceTable[level - 1] / 250;
    return amount < 10 ? 10 : amount;
}

// A random whole percentage t between low*100 and high*100 (truncated), as
// the single-precision fraction t/100, applied to base and truncated. When
// high lies below low, t still starts at low*100 and spans |high-low|+1 values.
int32_t random_share(int32_t base, float low, float high) {
    const int a = percent_of(low);
    const int b = percent_of(high);
    auto span = static_cast<int16_t>(b + 1 - a);
    if (span == 0) span = 1;  // high just below low: only low itself
    const auto t = static_cast<int16_t>(a + std::rand() % span);
    const float f = static_cast<float>(t) / 100.0f;
    const double share = static_cast<double>(base) * static_cast<double>(f);
    if (share >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (share <= -2147483648.0) return kMin32;
    return static_cast<int32_t>(share);
}

}  // namespace zmb
