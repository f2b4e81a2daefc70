// Bar codes in script lines: a bar and one code character are replaced by a
// live value ("|A" the player's name, "|F" gold, "|!" VAL1 ...) before the
// line is interpreted. Inserted text is never scanned again.
#include "module/script/substitution.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "include/host_interface.h"
#include "module/data/config.h"
#include "module/data/context.h"
#include "module/data/module_state.h"
#include "module/script/command_args.h"
#include "module/script/keywords.h"
#include "module/script/script_buffers.h"

namespace zmb {
namespace {

// The scan stops once the output holds more than this many characters.
constexpr size_t kScanLimit = 240;
// The whole result always fits the expansion buffer it is built in.
constexpr size_t kOutputLimit = kExpandedSize - 1;

class Output {
  public:
    Output() : out_(script_buffers.expanded) { out_[0] = '\0'; }
    size_t size() const { return size_; }
    void add(std::string_view text) {
        for (char c : text) {
            if (size_ >= kOutputLimit) break;
            out_[size_++] = c;
        }
        out_[size_] = '\0';
    }
    void add_char(char c) { add(std::string_view(&c, 1)); }
    void add_number(long n) {
        const char* digits = l2as(n);  // a host buffer: copied at once
        if (digits != nullptr) add(digits);
    }
    void add_c_text(const char* text) {
        if (text != nullptr) add(text);
    }

  private:
    char* out_;
    size_t size_ = 0;
};

// Appends the value named by code (any letter case); unknown codes add nothing.
void add_value(Output& out, char code) {
    if (code >= 'a' && code <= 'z') code = static_cast<char>(code - 'a' + 'A');
    switch (code) {
        case 'A':
            out.add(text_view(state::player_name));
            break;
        case 'B':
            out.add_number(get(player::strength));
            break;
        case 'C':
            out.add_number(get(state::last_amount));
            break;
        case 'D':
            out.add_number(get(player::charm));
            break;
        case 'E':
            out.add_number(get(player::experience));
            break;
        case 'F':
            out.add_number(get(player::gold));
            break;
        case 'G':
            out.add_number(get(player::bank));
            break;
        case 'H':
            out.add_number(get(player::level));
            break;
        case 'I':
            out.add(text_view(player::weapon_name));
            break;
        case 'J':
            out.add(text_view(player::armour_name));
            break;
        case 'K':
            out.add_number(get(player::forest_fights));
            break;
        case 'L':
            out.add_number(get(trip::trips_used));
            break;
        case 'M':
            out.add(kVersion);
            break;
        case 'N':
            out.add(string_register(1));
            break;
        case 'O':
            out.add(string_register(2));
            break;
        case 'P':
            out.add(string_register(3));
            break;
        case 'Q': {
            char age[8];
            std::snprintf(age, sizeof age, "%d", usaptr != nullptr ? usaptr->age : 0);
            out.add(age);
            break;
        }
        case 'R':
            out.add_number(module_state.config.trips_per_day);
            break;
        case 'T':
            out.add(string_register(4));
            break;
        case 'U':
            out.add(string_register(5));
            break;
        case 'V':
            out.add(string_register(6));
            break;
        case 'W':
            out.add_number(get(player::hit_points));
            break;
        case 'X':
            out.add_number(get(player::gems));
            break;
        case 'Y':
            out.add_c_text(make_date());
            break;
        case 'Z':
            out.add_c_text(make_time());
            break;
        case '!':
            out.add_number(get(state::value(1)));
            break;
        case '@':
            out.add_number(get(state::value(2)));
            break;
        case '#':
            out.add_number(get(state::value(3)));
            break;
        case '$':
            out.add_number(get(state::value(4)));
            break;
        case '%':
            out.add_number(get(state::value(5)));
            break;
        case '^':
            out.add_number(get(state::value(6)));
            break;
        case '&':
            out.add_number(get(state::value(7)));
            break;
        case '*':
            out.add_number(get(state::value(8)));
            break;
        case '(':
            out.add_number(get(state::value(9)));
            break;
        default:
            break;  // "S", digits, a second bar and the rest: nothing
    }
}

}  // namespace

char* substitute_codes(const char* line) {
    Output out;
    for (const char* in = line; *in != '\0'; ++in) {
        if (out.size() > kScanLimit) break;
        if (*in != script::kBar) {
            out.add_char(*in);
            continue;
        }
        ++in;  // the code character is consumed whatever it is
        if (*in == '\0') break;
        add_value(out, *in);
    }
    return script_buffers.expanded;
}

}  // namespace zmb
