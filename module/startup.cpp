// Start-up of the module: the top of its layers, where every part is wired
// together. The host calls init__zmb_vorn once, before any user arrives; the
// steps keep a fixed order: later ones use what earlier ones set up (the
// IGMLIST.DAT entry needs the module number), and the host sees its calls
// (alcmem, dclvda, catastro) in the order it always has.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "include/host_interface.h"
#include "module/data/config.h"
#include "module/data/module_state.h"
#include "module/data/trip_ledger.h"
#include "module/host/paths.h"
#include "module/screens/menu_generator.h"
#include "module/script/run_driver.h"
#include "module/script/script_buffers.h"
#include "module/textutil/textutil.h"
#include "module/userflow/substates.h"

namespace {

void finish_routine() {}  // nothing to do at shutdown: the scratch blocks live on

// The host keeps this record for the whole run. Only input, status and finish
// are ours; the other six slots stay empty.
module_descriptor descriptor = {
    /*description=*/{},
    /*logon=*/nullptr,
    /*input=*/zmb::module_input,
    /*status=*/zmb::module_status,
    /*injected=*/nullptr,
    /*logoff=*/nullptr,
    /*hangup=*/nullptr,
    /*midnight=*/nullptr,
    /*delete_account=*/nullptr,
    /*finish=*/finish_routine,
};

constexpr const char* kModuleList = "IGMLIST.DAT";
constexpr const char* kListName = "ZMB_VORN\n";
constexpr const char* kListDescription =
    "`0F`9ar `0R`9eaches! `7(VORN IGM Expansion by `%A`7rdo `%P`7enn)\n";

// Appends text to the file (created when missing); an empty text does nothing.
void append_line(const char* text, const char* path) {
    if (text == nullptr || text[0] == '\0') return;
    std::FILE* f = zmb::open_file(path, zmb::file_exists(path) ? "ab" : "wb");
    if (f == nullptr) return;  // an unwritable module list costs the entry, not the start
    std::fwrite(text, 1, std::strlen(text), f);
    std::fclose(f);
}

// The three lines other modules use to find this one in IGMLIST.DAT.
void append_module_list_entry() {
    char number[16];
    std::snprintf(number, sizeof number, "%d\n", static_cast<int>(zmb::module_state.module_number));
    append_line(kListName, kModuleList);
    append_line(number, kModuleList);
    append_line(kListDescription, kModuleList);
}

}  // namespace

extern "C" void init__zmb_vorn(void) {
    using namespace zmb;

    const char* name = gmdnam("ZMB_VORN.MDF");
    stzcpy(descriptor.description, name != nullptr ? name : "", sizeof descriptor.description);
    module_state.module_number = register_module(&descriptor);

    // The low 16 bits of the clock, never 0: rand() then serves every random
    // choice of the scripts and the colour codes.
    std::srand(static_cast<unsigned>((std::time(nullptr) & 0xFFFF) | 1));

    append_module_list_entry();

    // The host's blocks in their fixed order: 1048 and 275 bytes for the
    // text utilities, 275 for the script engine's expanded line.
    allocate_text_utility_buffers();
    allocate_script_buffers();

    module_state.menu_entry_count = build_menu_script();

    dclvda(kUserContextSize);

    if (std::FILE* existing = open_file(kConfigFile, "r+"); existing != nullptr) {
        std::fclose(existing);
    } else {
        set_default_config();
        write_config();
    }
    read_config();

    create_missing_ledgers();

    shocst("Igm \"Far Reaches\" installed.", "Initialized Successfully");
}
