// The player's stats screen, read from the user's working context as the
// visit has left it, and the thousands grouping of its numbers.
#include "module/screens/stats_screen.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "include/host_interface.h"
#include "module/data/context.h"
#include "module/screens/colour.h"

namespace zmb {

namespace {

// Room for the longest grouped 32-bit value, "-2,147,483,648" (14), with margin.
constexpr size_t kNumberSize = 32;
using Number = char[kNumberSize];
constexpr size_t kLineSize = 275;  // a screen line is cut to 274 characters

// value with its digits grouped by thousands: "1,234,567", "-1,000".
void grouped(int32_t value, Number out) {
    char digits[kNumberSize];
    std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(value));
    // A minus sign stands in front of the groups, never inside them.
    const char* from = digits;
    size_t at = 0;
    if (*from == '-') out[at++] = *from++;
    const size_t count = std::strlen(from);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0) out[at++] = ',';
        out[at++] = from[i];
    }
    out[at] = '\0';
}

// Formats one line and shows it through the colour renderer; the arguments
// are data and are never taken as a format.
__attribute__((format(printf, 1, 2))) void show_line(const char* format, ...) {
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    colour_print(line);
}

// One skill line, shown only for a skill the player has points in.
void skill_line(const char* label, uint8_t points, uint8_t uses) {
    if (points == 0) return;
    Number p, u;
    grouped(points, p);
    grouped(uses, u);
    show_line("  \x1b[0;32m%s: \x1b[1m%-10s\x1b[0;32mUses Today: (\x1b[1m%s\x1b[0;32m)\n", label, p,
              u);
}

constexpr const char* kInterests[] = {"Death Knight", "The Mystical", "The Thieving"};

}  // namespace

void show_stats_screen() {
    Number a, b, c;
    prf("%s", "\x1b[2J");
    show_line("  `^%s\x1b[0;32m's Stats...              ", text(state::player_name));
    colour_print("`7Location: `%");
    colour_print(text(state::script_title));
    prf("%s", "\n");
    colour_print("`0-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n");

    grouped(get(player::experience), a);
    show_line("  \x1b[0;32mExperience   : \x1b[1m%s\n", a);
    grouped(get(player::level), a);
    grouped(get(player::hit_points), b);
    grouped(get(player::max_hit_points), c);
    show_line(
        "  \x1b[0;32mLevel        : \x1b[1m%-2s                  \x1b[0;32mHitPoints          "
        ":(\x1b[1m%s \x1b[0;32mof \x1b[1m%s\x1b[0;32m)\n",
        a, b, c);
    grouped(get(player::forest_fights), a);
    grouped(get(player::player_fights), b);
    show_line(
        "  Forest Fights: \x1b[1m%-5s               \x1b[0;32mPlayer Fights Left : \x1b[1m%s\n", a,
        b);
    grouped(get(player::gold), a);
    grouped(get(player::bank), b);
    show_line("  \x1b[0;32mGold In Hand : \x1b[1m%-20s\x1b[0;32mGold In Bank       : \x1b[1m%s\n",
              a, b);
    // The record's names are copied out: no byte of the record may change.
    char name[player::armour_name.size];
    grouped(get(player::strength), a);
    show_line("  \x1b[0;32mWeapon       : \x1b[1m%-20s\x1b[0;32mAttack Strength    : \x1b[1m%s\n",
              copy_text(player::weapon_name, name), a);
    grouped(get(player::defence), a);
    show_line("  \x1b[0;32mArmour       : \x1b[1m%-20s\x1b[0;32mDefensive Strength : \x1b[1m%s\n",
              copy_text(player::armour_name, name), a);
    grouped(get(player::charm), a);
    grouped(get(player::gems), b);
    show_line("  \x1b[0;32mCharm        : \x1b[1m%-20s\x1b[0;32mGems               : \x1b[1m%s\n\n",
              a, b);

    const uint8_t dk = get(player::death_knight_skill);
    const uint8_t my = get(player::mystical_skill);
    const uint8_t th = get(player::thieving_skill);
    skill_line("Death Knight Skills", dk, get(player::death_knight_uses));
    skill_line("The Mystical Skills", my, get(player::mystical_uses));
    skill_line("The Thieving Skills", th, get(player::thieving_uses));
    if (dk != 0 || my != 0 || th != 0) prf("%s", "\n");

    if (get(player::horse) == 1) colour_print("`2  You have a `0horse`2.\n\n");
    const uint8_t interest = get(player::player_class);
    if (interest >= 1 && interest <= 3) {
        show_line("`2  You are currently interested in `%%%s `2skills.\n",
                  kInterests[interest - 1]);
    }
    colour_print("\n\n`0<`2ENTER`0>`6`7");
}

}  // namespace zmb
