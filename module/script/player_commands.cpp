// Commands that reward or punish the player, and the condition blocks that
// run their lines only for some players. The changes go to the PlayerRecord
// in the working context; the run driver writes it back to PLAYER.DAT.
//
// One visit to a place gives at most one reward (/CHARM:, /MONEY:, /EXPER:,
// /HEALHITS, /FIGHTS:, /GIVEGEMS:): a second one ends the script at once.
// Additions stop at the top of a field instead of wrapping round to a
// negative value; subtractions stop at 0.
#include "module/script/player_commands.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "include/host_interface.h"
#include "module/script/command_args.h"
#include "module/script/interpreter.h"
#include "module/script/keywords.h"
#include "module/script/value_commands.h"

namespace zmb {
namespace {

namespace end_marker = script::end_marker;

constexpr int64_t kTop16 = std::numeric_limits<int16_t>::max();
constexpr int64_t kTop32 = std::numeric_limits<int32_t>::max();

// A command argument, used as a signed 16-bit number.
int16_t argument(const char* line, int16_t first, int16_t last) {
    return static_cast<int16_t>(number_at(line, first, last));
}

// value held to 0..top.
int64_t between_zero_and(int64_t value, int64_t top) {
    return value < 0 ? 0 : (value > top ? top : value);
}

// Adds amount to a 16-bit field, stopping at its top.
void add_capped(I16Field field, int64_t amount) {
    const int64_t sum = get(field) + amount;
    set(field, static_cast<int16_t>(sum > kTop16 ? kTop16 : sum));
}

// One less, never below 0.
void take_one(I16Field field) {
    const int value = get(field) - 1;
    set(field, static_cast<int16_t>(value < 0 ? 0 : value));
}

// Every reward first looks at the visit's flag: when a reward was given
// already, nothing changes and the script ends. Otherwise the flag is set.
bool reward_refused() {
    if (get(state::reward_given) != 0) return true;
    set(state::reward_given, 1);
    return false;
}

// The tier of a reward argument: 1, 2 or 3 for ±1, ±2, ±3; 0 for anything else.
int tier_of(int16_t n) {
    return n >= -3 && n <= 3 ? std::abs(n) : 0;
}

// The three tiers of /MONEY: or /EXPER:: tier k shares out k times the
// level's base between two fractions.
struct Tiers {
    int32_t (*base)(int16_t level);
    float low[3];
    float high[3];
};
constexpr Tiers kGoldTiers{money_base, {0.25f, 0.5f, 0.75f}, {0.75f, 0.9f, 1.0f}};
// The two lower tiers have their high fraction below the low one: their
// shares run from 25 to 38 and from 50 to 88 per cent.
constexpr Tiers kExperienceTiers{experience_base, {0.25f, 0.5f, 0.75f}, {0.1f, 0.1f, 1.0f}};

// The amount of reward argument n: 0 outside the tiers, a quarter for a loss.
// The base's own draw comes before the share's.
int32_t tier_amount(const Tiers& tiers, int16_t n) {
    const int tier = tier_of(n);
    if (tier == 0) return 0;
    const int32_t base = tiers.base(get(player::level));
    const int32_t amount = random_share(tier * base, tiers.low[tier - 1], tiers.high[tier - 1]);
    return n < 0 ? amount / 4 : amount;
}

// /FIGHTS: and /GIVEGEMS: amounts: 1 or 2 for 1, 2 or 3 for 2, 3 to 5 for 3.
int16_t small_gift(const char* line, int16_t at) {
    switch (argument(line, at, at)) {
        case 1:
            return static_cast<int16_t>(1 + std::rand() % 2);
        case 2:
            return static_cast<int16_t>(2 + std::rand() % 2);
        case 3:
            return static_cast<int16_t>(3 + std::rand() % 3);
        default:
            return 0;
    }
}

int16_t holds_or_skip(bool holds, const char* end_marker) {
    return holds ? result::kGoOn : arm_skip(end_marker);
}

// n >= 0 asks for at least n, n < 0 for at most -n.
bool within_bound(int16_t n, int16_t value) {
    return n >= 0 ? n <= value : value <= -n;
}

}  // namespace

// /CHARM:n  - charm up (n 1..3) or down (n -1..-3) by |n|, not below 0
int16_t cmd_charm(const char* line) {
    if (reward_refused()) return result::kEnd;
    const int16_t n = argument(line, 7, 8);
    const int amount = tier_of(n);
    const int64_t charm = get(player::charm) + (n < 0 ? -amount : amount);
    set(player::charm, static_cast<int16_t>(between_zero_and(charm, kTop16)));
    set(state::last_amount, amount);
    return result::kGoOn;
}

// /MONEY:n  - gold for n 1..3; for -1..-3 a quarter of such an amount is
// taken from gold, and what gold cannot cover from the bank
int16_t cmd_money(const char* line) {
    if (reward_refused()) return result::kEnd;
    const int16_t n = argument(line, 7, 8);
    const int32_t amount = tier_amount(kGoldTiers, n);
    int64_t gold = get(player::gold);
    int64_t bank = get(player::bank);
    if (n >= 0) {
        gold += amount;
    } else if (amount > gold) {
        bank -= amount - gold;
        gold = 0;
    } else {
        gold -= amount;
    }
    set(player::gold, static_cast<int32_t>(between_zero_and(gold, kTop32)));
    set(player::bank, static_cast<int32_t>(between_zero_and(bank, kTop32)));
    set(state::last_amount, amount);
    return result::kGoOn;
}

// /EXPER:n  - experience for n 1..3; for -1..-3 a quarter of such an amount is taken
int16_t cmd_exper(const char* line) {
    if (reward_refused()) return result::kEnd;
    const int16_t n = argument(line, 7, 8);
    const int32_t amount = tier_amount(kExperienceTiers, n);
    const int64_t experience = get(player::experience) + (n < 0 ? -int64_t{amount} : amount);
    set(player::experience, static_cast<int32_t>(between_zero_and(experience, kTop32)));
    set(state::last_amount, amount);
    return result::kGoOn;
}

// /HEALHITS  - hit points back to their maximum
int16_t cmd_healhits(const char*) {
    if (reward_refused()) return result::kEnd;
    set(player::hit_points, get(player::max_hit_points));
    return result::kGoOn;
}

// /FIGHTS:n  - forest fights up by a small random amount (one digit read)
int16_t cmd_fights(const char* line) {
    if (reward_refused()) return result::kEnd;
    const int16_t amount = small_gift(line, 8);
    add_capped(player::forest_fights, amount);
    set(state::last_amount, amount);
    return result::kGoOn;
}

// /GIVEGEMS:n  - gems up by a small random amount (one digit read)
int16_t cmd_givegems(const char* line) {
    if (reward_refused()) return result::kEnd;
    const int16_t amount = small_gift(line, 10);
    add_capped(player::gems, amount);
    set(state::last_amount, amount);
    return result::kGoOn;
}

// /GIVEHORSE  - the player has a horse; counts as the visit's reward
int16_t cmd_givehorse(const char*) {
    set(player::horse, 1);
    set(state::reward_given, 1);
    return result::kGoOn;
}

// /REMOVEHORSE  - the player has no horse; counts as the visit's reward
int16_t cmd_removehorse(const char*) {
    set(player::horse, 0);
    set(state::reward_given, 1);
    return result::kGoOn;
}

// /REMOVEFIGHT  - one forest fight less, not below 0 (no reward involved)
int16_t cmd_removefight(const char*) {
    take_one(player::forest_fights);
    return result::kGoOn;
}

// /REMOVEGEM  - one gem less, not below 0 (no reward involved)
int16_t cmd_removegem(const char*) {
    take_one(player::gems);
    return result::kGoOn;
}

// /HASFIGHTS:n  - block up to /ENDFIGHTS for at least n forest fights
int16_t cond_hasfights(const char* line) {
    return holds_or_skip(argument(line, 11, 12) <= get(player::forest_fights),
                         end_marker::kFights.data());
}

// /KNIGHT  - block up to /ENDCLASS for Death Knights (class 1)
int16_t cond_knight(const char*) {
    return holds_or_skip(get(player::player_class) == 1, end_marker::kClass.data());
}

// /THIEF  - block up to /ENDCLASS for The Thieving (class 3)
int16_t cond_thief(const char*) {
    return holds_or_skip(get(player::player_class) == 3, end_marker::kClass.data());
}

// /MYSTIC  - block up to /ENDCLASS for The Mystical (class 2)
int16_t cond_mystic(const char*) {
    return holds_or_skip(get(player::player_class) == 2, end_marker::kClass.data());
}

// /MALE  - block up to /ENDSEX for every sex byte but 5
int16_t cond_male(const char*) {
    return holds_or_skip(get(player::sex) != 5, end_marker::kSex.data());
}

// /FEMALE  - block up to /ENDSEX for sex byte 5
int16_t cond_female(const char*) {
    return holds_or_skip(get(player::sex) == 5, end_marker::kSex.data());
}

// /ADULT  - block up to /ENDADULT for users aged 18 and over (host account age)
int16_t cond_adult(const char*) {
    const int age = usaptr != nullptr ? usaptr->age : 0;
    return holds_or_skip(age >= adult_age, end_marker::kAdult.data());
}

// /HASCHARM:n  - block up to /ENDCHARM for charm of at least n (n < 0: at most -n)
int16_t cond_hascharm(const char* line) {
    return holds_or_skip(within_bound(argument(line, 10, 12), get(player::charm)),
                         end_marker::kCharm.data());
}

// /HASHORSE:  - block up to /ENDHORSE for a player with a horse
int16_t cond_hashorse(const char*) {
    return holds_or_skip(get(player::horse) == 1, end_marker::kHorse.data());
}

// /HASGEMS:n  - block up to /ENDGEMS for at least n gems
int16_t cond_hasgems(const char* line) {
    return holds_or_skip(argument(line, 9, 11) <= get(player::gems), end_marker::kGems.data());
}

// /LEVEL:n  - block up to /ENDLEVEL for level n and up (n < 0: up to -n)
int16_t cond_level(const char* line) {
    return holds_or_skip(within_bound(argument(line, 7, 9), get(player::level)),
                         end_marker::kLevel.data());
}

}  // namespace zmb
