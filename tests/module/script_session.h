// Shared by the script engine's scenario tests: one player on channel 1,
// inside the module with a known name, game and record number, to whom
// scripts are handed straight through the run driver.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "module/host/module_state.h"
#include "module/data/context.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

namespace engine_test {

inline constexpr int kChannel = 1;
inline constexpr const char* kScriptPath = "QHYVIGMS\\CAVE.LOR";
inline constexpr const char* kScriptFile = "QHYVIGMS/CAVE.LOR";
inline constexpr const char* kHeader = "Vorn IGM Script: The Cave\n";
inline constexpr const char* kEndText = "\nPlease press <enter> to continue: ";

// Joins lines, each with its line end.
inline std::string lines(std::initializer_list<std::string_view> each) {
    std::string out;
    for (std::string_view line : each)
        out.append(line).append("\n");
    return out;
}

// Root ignores file modes. While one of these lives, file permission
// checks are made as "nobody", so a read-only file really is read-only;
// the world folder is opened up for reading so that nobody can reach it.
// (A non-root run cannot switch and needs no switch: the modes hold.)
class FileChecksAsNobody {
  public:
    explicit FileChecksAsNobody(const std::string& world_dir) {
        namespace fs = std::filesystem;
        for (const auto& entry : fs::recursive_directory_iterator(world_dir)) {
            if (entry.is_directory()) {
                fs::permissions(entry.path(), fs::perms::others_read | fs::perms::others_exec,
                                fs::perm_options::add);
            }
        }
        fs::permissions(world_dir, fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        previous_group_ = setfsgid(kNobody);
        previous_ = setfsuid(kNobody);
    }
    ~FileChecksAsNobody() {
        setfsuid(previous_);
        setfsgid(previous_group_);
    }
    FileChecksAsNobody(const FileChecksAsNobody&) = delete;
    FileChecksAsNobody& operator=(const FileChecksAsNobody&) = delete;

  private:
    static constexpr int kNobody = 65534;
    int previous_ = 0;
    int previous_group_ = 0;
};

inline void make_read_only(const std::string& path) {
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::replace);
}

class ScriptSession : public ::testing::Test {
  protected:
    test::World world;
    std::unique_ptr<test::Host> host = std::make_unique<test::Host>(world);
    test::Player& player = host->player(kChannel);

    void SetUp() override {
        player.set_current_module(host->module_number());
        set_text(zmb::state::game_name, "KXPVORN\n");
        set_i16(zmb::state::player_index, 0);
        set_text(zmb::state::player_name, "Ardo");
    }

    // QHYVIGMS/CAVE.LOR: the header, then `body` byte for byte; handed to
    // the run driver with status 240 queued.
    void start(std::string_view body, int return_substate = zmb::sub::kAfterScript) {
        world.write(kScriptFile, std::string(kHeader) + std::string(body));
        player.run_script(kScriptPath, return_substate);
    }
    void start(std::initializer_list<std::string_view> each,
               int return_substate = zmb::sub::kAfterScript) {
        start(lines(each), return_substate);
    }

    // Delivers one status and returns the text it showed (ANSI removed).
    std::string slice() {
        const size_t before = player.screen().size();
        host->pump_one();
        return test::strip_ansi(player.screen().substr(before));
    }
    // Delivers statuses until none is queued; the text shown meanwhile.
    std::string run() {
        const size_t before = player.screen().size();
        host->pump();
        return test::strip_ansi(player.screen().substr(before));
    }
    // Delivers one status of any code to the player right now.
    std::string status(int code) {
        const size_t before = player.screen().size();
        host::call_status(kChannel, code);
        return test::strip_ansi(player.screen().substr(before));
    }

    int16_t i16(zmb::I16Field f) const { return player.area_i16(f.at); }
    int32_t i32(zmb::I32Field f) const { return player.area_i32(f.at); }
    std::string text(zmb::TextField f) const { return player.area_text(f.at); }
    void set_i16(zmb::I16Field f, int16_t v) { player.set_area_i16(f.at, v); }
    void set_i32(zmb::I32Field f, int32_t v) { player.set_area_i32(f.at, v); }
    void set_text(zmb::TextField f, std::string_view s) { player.set_area_text(f.at, f.size, s); }
};

}  // namespace engine_test
