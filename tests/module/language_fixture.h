// The fixture of the script-language tests: one channel of the real module
// that runs a script handed straight to the run driver, and short ways to
// read and preset the registers and the player record in its per-user area.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "module/data/context.h"
#include "tests/support/session.h"

namespace test {

class ScriptTest : public ::testing::Test {
  protected:
    World world;
    Host host{world};
    Player& p = host.player(1);

    // Writes QHYVIGMS\<name>: the header, then `lines` (each ending in "\n").
    // Runs it on channel 1, return sub-state 7, until nothing more is queued,
    // and returns the text (ANSI removed) it showed.
    std::string run(std::string_view lines, std::string_view name = "T.LOR") {
        world.write("QHYVIGMS/" + std::string(name),
                    "Vorn IGM Script: Test\n" + std::string(lines));
        return run_again(name);
    }
    // Runs a script written before, from its first line.
    std::string run_again(std::string_view name = "T.LOR") {
        p.clear_screen();
        p.run_script("QHYVIGMS\\" + std::string(name));
        host.pump();
        return p.take_text();
    }

    int32_t val(int n) const { return p.area_i32(zmb::state::value(n).at); }
    void set_val(int n, int32_t v) { p.set_area_i32(zmb::state::value(n).at, v); }
    std::vector<int32_t> vals() const {  // VAL1..VAL9
        std::vector<int32_t> all;
        for (int n = 1; n <= 9; ++n)
            all.push_back(val(n));
        return all;
    }
    std::string str(int n) const { return p.area_text(zmb::state::string(n).at); }
    void set_str(int n, std::string_view s) {
        p.set_area_text(zmb::state::string(n).at, zmb::state::kStringSize, s);
    }
    std::vector<std::string> strs() const {  // STRING1..STRING6
        std::vector<std::string> all;
        for (int n = 1; n <= 6; ++n)
            all.push_back(str(n));
        return all;
    }
    int16_t reward_given() const { return p.area_i16(zmb::state::reward_given.at); }
    void new_visit() { p.set_area_i16(zmb::state::reward_given.at, 0); }  // for the reward rule
    int32_t last_amount() const { return p.area_i32(zmb::state::last_amount.at); }
};

}  // namespace test
