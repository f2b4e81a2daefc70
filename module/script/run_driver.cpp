// The status routine. A script runs in slices: each status 240 reads at most
// six lines, hands each to the interpreter, sends its output and queues the
// next slice, until the script waits for the user or ends. The script file
// is opened and closed inside every slice; no handle is kept between calls.
#include "module/script/run_driver.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "module/data/player_record.h"
#include "module/host/module_state.h"
#include "module/host/paths.h"
#include "module/screens/colour.h"
#include "module/screens/prompt.h"
#include "module/script/interpreter.h"
#include "module/script/loader.h"
#include "module/data/context.h"

namespace zmb {

int16_t slice_lines = 0;

namespace {

// Lines are read with room for 257 characters, line end included, so a
// longer line arrives in pieces of 257 and each piece runs as a line of its own.
constexpr int kLineRoom = 258;
static_assert(kLineRoom <= static_cast<int>(kResultSize));

// Nothing is queued: the user sees why and waits in sub-state 3. The
// ScriptState is left as it was.
void report_unusable_script() {
    prf("The IGM file \"%s\" could not be used!\n", text(state::script_file));
    prf("%s", "Please notify your sysop of this message.\n");
    prf("%s", "After writing down this message, press <Enter>\n");
    send_output();
    set_substate(sub::kScriptMissing);
}

void end_slice(std::FILE* file) {
    if (file != nullptr) std::fclose(file);
    slice_lines = 0;
    set_substate(sub::kRunning);
    send_output();
    queue_run();
}

// The end of the file (or a file that became shorter than it was).
void end_script(std::FILE* file) {
    std::fclose(file);
    colour_print("\n`#Please press `$<enter> `#to continue: ");
    set_substate(get(state::return_substate));
    save_user_context();
    save_current_player();
    send_output();
    slice_lines = 0;
    queue_run();
}

// Results 1 and 3: the user's next line resumes the run; nothing is queued.
void wait_at_pause(std::FILE* file, int pause_substate) {
    set_substate(pause_substate);
    std::fclose(file);
    send_output();
    slice_lines = 0;
}

// Results 4 and 8: the run is over; the player record goes back to the file.
void stop_script(std::FILE* file, int next_substate) {
    set_substate(next_substate);
    save_user_context();
    send_output();
    queue_run();
    std::fclose(file);
    slice_lines = 0;
    save_current_player();
}

// Result 5: the answer prompt is shown and the record written back.
void wait_for_answer(std::FILE* file) {
    set_substate(sub::kAnswer);
    save_user_context();
    std::fclose(file);
    show_prompt();
    slice_lines = 0;
    send_output();
    save_current_player();
}

// Result 6: interpret_line has put the new path in script_file and filled
// the saved-script slot; the loader starts the new file.
void switch_script(std::FILE* file) {
    save_user_context();
    std::fclose(file);
    send_output();
    slice_lines = 0;
    std::array<char, state::script_file.size> path{};
    std::snprintf(path.data(), path.size(), "%s", text(state::script_file));
    load_script(path.data(), "", 0);
}

// Result 7: back to the script that ran /LOAD:, at the line after it.
// saved_end_offset keeps its value, and the title stays the loaded one's.
void restore_saved_script(std::FILE* file) {
    set_text(state::script_file, text(state::saved_script_file));
    set(state::line_offset, get(state::saved_line_offset));
    set(state::return_offset, get(state::saved_return_offset));
    set(state::loop_offset, get(state::saved_loop_offset));
    set(state::end_offset, get(state::saved_end_offset));
    set_text(state::saved_script_file, "");
    set(state::saved_line_offset, 0);
    set(state::saved_return_offset, 0);
    set(state::saved_loop_offset, 0);
    std::fclose(file);
    send_output();
    save_user_context();
    slice_lines = 0;
    queue_run();
}

}  // namespace

void module_status() {
    if (status != kRunStatus) return;
    load_user_context();
    const int current = substate();
    if (current == sub::kMenuHalted) {
        show_prompt();
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
            end_slice(nullptr);
            return;
        }
        set(state::wait_until, 0);
        save_user_context();
    }

    // Read only: a script the module may not write to is still a script.
    std::FILE* file = open_file(text(state::script_file), "r");
    if (file == nullptr) {
        report_unusable_script();
        return;
    }
    slice_lines = 0;
    char* line = result_buffer;
    for (;;) {
        ++slice_lines;
        const int32_t offset = get(state::line_offset);
        if (offset >= get(state::end_offset) || std::fseek(file, offset, SEEK_SET) != 0 ||
            std::fgets(line, kLineRoom, file) == nullptr) {
            end_script(file);
            return;
        }
        set(state::line_offset, static_cast<int32_t>(std::ftell(file)));

        const int16_t result = interpret_line(line);
        save_user_context();
        switch (result) {
            case result::kPause:
                wait_at_pause(file, sub::kPause);
                return;
            case result::kQuitPause:
                wait_at_pause(file, sub::kQuitPause);
                return;
            case result::kEnd:
                stop_script(file, get(state::return_substate));
                return;
            case result::kHalt:
                stop_script(file, sub::kMenuHalted);
                return;
            case result::kQuestion:
                wait_for_answer(file);
                return;
            case result::kLoad:
                switch_script(file);
                return;
            case result::kUnload:
                restore_saved_script(file);
                return;
            default:  // 0, 2 and anything else go on
                break;
        }
        if (slice_lines >= lines_per_slice || get(state::wait_until) > 0) {
            end_slice(file);
            return;
        }
        send_output();
    }
}

}  // namespace zmb
