// The status routine. A script runs in slices: each status 240 reads at most
// six lines, hands each to the interpreter, sends its output and queues the
// next slice, until the script waits for the user or ends. The script file
// is opened and closed inside every slice; no handle is kept between calls.
#include "module/script/run_driver.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "module/data/context.h"
#include "module/data/module_state.h"
#include "module/data/player_record.h"
#include "module/host/line_reader.h"
#include "module/screens/colour.h"
#include "module/script/interpreter.h"
#include "module/script/loader.h"
#include "module/script/script_buffers.h"
#include "module/userflow/substates.h"

namespace zmb {

namespace {

// Lines are read with room for 257 characters, line end included, so a
// longer line arrives in pieces of 257 and each piece runs as a line of its own.
constexpr int kLineRoom = kScriptLineChars + 1;
static_assert(kLineRoom <= static_cast<int>(kLineSize));

constexpr int kStay = -1;  // SliceEnd::next_substate: the sub-state stays as it is

// How a slice ends. Every ending takes the steps it names in this one order:
// the new sub-state, the per-user area written, the prompt of the new
// sub-state, the output sent, the next slice queued, PLAYER.DAT written.
struct SliceEnd {
    int next_substate = kStay;
    bool save_context = false;  // the working copy back to the per-user area
    bool show_prompt = false;   // the prompt of next_substate ends the output
    bool queue_next = false;    // the module's own status comes again
    bool store_player = false;  // the PlayerRecord back to PLAYER.DAT
};

void end_slice(const SliceEnd& end) {
    if (end.next_substate != kStay) set_substate(end.next_substate);
    if (end.save_context) save_user_context();
    if (end.show_prompt) show_substate_prompt();
    send_output();
    if (end.queue_next) queue_run();
    if (end.store_player) save_current_player();
}

// The script file cannot be opened: the user sees why and waits in
// sub-state 3. Nothing is queued and the ScriptState is left as it was.
void report_unusable_script() {
    prf("The IGM file \"%s\" could not be used!\n", text(state::script_file));
    prf("%s", "Please notify your sysop of this message.\n");
    prf("%s", "After writing down this message, press <Enter>\n");
    end_slice({.next_substate = sub::kScriptMissing});
}

// The end of the file (or a file that became shorter than it was).
void end_script() {
    colour_print("\n`#Please press `$<enter> `#to continue: ");
    end_slice({.next_substate = get(state::return_substate),
               .save_context = true,
               .queue_next = true,
               .store_player = true});
}

// Result 6: interpret_line has put the new path in script_file and filled
// the saved-script slot; the loader starts the new file.
void switch_script() {
    end_slice({.save_context = true});
    std::array<char, state::script_file.size> path{};
    std::snprintf(path.data(), path.size(), "%.*s", static_cast<int>(path.size() - 1),
                  text(state::script_file));
    load_script_of_command(path.data());
}

// Result 7: back to the script that ran /LOAD:, at the line after it.
// saved_end_offset keeps its value, and the title stays the loaded one's.
void restore_saved_script() {
    set_text(state::script_file, text(state::saved_script_file));
    set(state::line_offset, get(state::saved_line_offset));
    set(state::return_offset, get(state::saved_return_offset));
    set(state::loop_offset, get(state::saved_loop_offset));
    set(state::end_offset, get(state::saved_end_offset));
    set_text(state::saved_script_file, "");
    set(state::saved_line_offset, 0);
    set(state::saved_return_offset, 0);
    set(state::saved_loop_offset, 0);
    end_slice({.save_context = true, .queue_next = true});
}

// What happens after a line: false while the slice goes on.
bool slice_ended(int16_t result) {
    switch (result) {
        // At a pause, as at a question, what the player was shown is on disk
        // before the module waits: a caller who hangs up there keeps it.
        case result::kPause:  // the user's next line resumes the run
            end_slice({.next_substate = sub::kPause, .store_player = true});
            return true;
        case result::kQuitPause:
            end_slice({.next_substate = sub::kQuitPause, .store_player = true});
            return true;
        case result::kEnd:  // the run is over; the player record goes back to the file
            end_slice({.next_substate = get(state::return_substate),
                       .save_context = true,
                       .queue_next = true,
                       .store_player = true});
            return true;
        case result::kHalt:
            end_slice({.next_substate = sub::kMenuHalted,
                       .save_context = true,
                       .queue_next = true,
                       .store_player = true});
            return true;
        case result::kQuestion:  // the answer prompt is shown, the record written back
            end_slice({.next_substate = sub::kAnswer,
                       .save_context = true,
                       .show_prompt = true,
                       .store_player = true});
            return true;
        case result::kLoad:
            switch_script();
            return true;
        case result::kUnload:
            restore_saved_script();
            return true;
        default:  // 0, 2 and anything else go on
            return false;
    }
}

// A slice cut short, by its line count or a /WAIT:, goes on at the next status.
constexpr SliceEnd kNextSlice{.next_substate = sub::kRunning, .queue_next = true};

}  // namespace

void module_status() {
    if (status != kRunStatus) return;
    load_user_context();
    const int current = substate();
    if (current == sub::kMenuHalted) {
        show_substate_prompt();
        send_output();
        set_substate(sub::kMenuCommand);
        return;
    }
    if (current != sub::kRunning) {
        dfsthn();
        return;
    }
    if (get(state::wait_until) > 0) {
        if (std::time(nullptr) < get(state::wait_until)) {
            end_slice(kNextSlice);
            return;
        }
        set(state::wait_until, 0);
        save_user_context();
    }

    // Read only: a script the module may not write to is still a script.
    // One read of the file usually serves every line of the slice.
    LineReader file(text(state::script_file));
    if (!file) {
        report_unusable_script();
        return;
    }
    char* line = script_buffers.line.data();
    for (int16_t lines = 1;; ++lines) {
        const int32_t offset = get(state::line_offset);
        const long next =
            offset < get(state::end_offset) ? file.line_at(offset, line, kLineRoom) : -1;
        if (next < 0) {
            file.close();
            end_script();
            return;
        }
        set(state::line_offset, static_cast<int32_t>(next));

        const int16_t result = interpret_line(line);
        save_user_context();
        if (slice_ended(result)) return;
        if (lines >= lines_per_slice || get(state::wait_until) > 0) {
            end_slice(kNextSlice);
            return;
        }
        send_output();
    }
}

}  // namespace zmb
