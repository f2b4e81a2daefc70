// Starting a script: the header is checked and the title taken, the offsets
// of the first line and of the end recorded, and the first run slice queued.
// The loader opens and closes the file inside the call; the run driver opens
// it again for every slice. The header is read into the engine's line buffer.
#include "module/script/loader.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "module/data/context.h"
#include "module/data/module_state.h"
#include "module/host/paths.h"
#include "module/screens/colour.h"
#include "module/script/keywords.h"
#include "module/script/script_buffers.h"
#include "module/script/text_slices.h"

namespace zmb {

namespace {

constexpr size_t kHeaderPrefixLength = 17;  // "Vorn IGM Script: "
constexpr int kHeaderRoom = 256;  // room for 255 characters: a longer header arrives in pieces,
                                  // and the rest of it is the first script line
constexpr size_t kTitleMax = 30;
constexpr size_t kLabelMax = 12;

void show_failure(const char* complaint) {
    std::array<char, 160> message;
    constexpr int kFileChars = static_cast<int>(state::script_file.size - 1);
    std::snprintf(message.data(), message.size(), "\n`$Script file `^%.*s `$%s\n", kFileChars,
                  text(state::script_file), complaint);
    colour_print(message.data());
    prf("\n");
}

}  // namespace

// Failures save nothing: the ScriptState the next call reads is the one
// stored before this call, so a place that cannot be loaded leaves the
// menu script current.
void load_script(const char* path, const char* label, int16_t keep_return) {
    load_user_context();
    set(state::skip_mode, 0);
    set(state::return_offset, 0);
    set(state::line_offset, 0);
    set(state::loop_offset, 0);
    set(state::wait_until, 0);
    if (keep_return != 0) set(state::return_substate, static_cast<int16_t>(substate()));
    set_text(state::script_file, path);
    set(state::last_amount, 0);
    const std::string_view label_text(label);
    if (label_text.size() >= 2) {
        set_text(state::skip_target, label_text.substr(0, kLabelMax));
        set(state::skip_mode, 1);
    }

    OpenFile file(text(state::script_file), "rt");
    if (!file) {
        show_failure("could not be found!");
        send_output();
        set_substate(sub::kScriptMissing);
        return;
    }
    char* header = script_buffers.line.data();
    static_assert(kHeaderRoom <= static_cast<int>(kLineSize));
    if (std::fgets(header, kHeaderRoom, file.get()) == nullptr ||
        !sameto(script::kScriptHeader.data(), header)) {
        file.close();
        show_failure("Is not a valid Vorn IGM script!");
        show_press_enter();
        send_output();
        set_substate(get(state::return_substate));
        return;
    }

    const std::string_view title(strip_controls(slice_text(header, kHeaderPrefixLength, 255)));
    set_text(state::script_title, title.substr(0, kTitleMax));
    set(state::line_offset, static_cast<int32_t>(std::ftell(file.get())));
    std::fseek(file.get(), 0, SEEK_END);
    set(state::end_offset, static_cast<int32_t>(std::ftell(file.get())));
    file.close();

    save_user_context();
    queue_run();
    set_substate(sub::kRunning);
}

void start_menu_script() {
    set_substate(sub::kMenuHalted);
    set_text(state::saved_script_file, "");
    set(state::saved_line_offset, 0);
    set(state::saved_return_offset, 0);
    set(state::saved_loop_offset, 0);
    save_user_context();
    load_script(kMenuScript, "", 1);
}

void show_press_enter() {
    prf("press enter...");
}

}  // namespace zmb
