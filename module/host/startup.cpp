// Start-up of the module and its module-wide storage. The host calls
// init__zmb_vorn once, before any user arrives; the steps run in a fixed
// order because later ones use what earlier ones set up (the menu generator
// needs the scratch blocks, the IGMLIST.DAT entry needs the module number).
#include "module/host/startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "module/data/config.h"
#include "module/data/trip_ledger.h"
#include "module/host/module_state.h"
#include "module/host/paths.h"
#include "module/screens/menu_generator.h"
#include "module/script/run_driver.h"
#include "module/userflow/main_menu.h"
#include "module/data/context.h"

namespace zmb {

char* work_buffer = nullptr;
char* result_buffer = nullptr;
char* expanded_buffer = nullptr;
int16_t module_number = 0;
int16_t menu_entry_count = 0;

namespace {
void finish_routine() {}  // nothing to do at shutdown: the scratch blocks live on
}  // namespace

// The host keeps this record for the whole run. Only input, status and finish
// are ours; the other six slots stay empty.
module_descriptor descriptor = {
    /*description=*/{},
    /*logon=*/nullptr,
    /*input=*/module_input,
    /*status=*/module_status,
    /*injected=*/nullptr,
    /*logoff=*/nullptr,
    /*hangup=*/nullptr,
    /*midnight=*/nullptr,
    /*delete_account=*/nullptr,
    /*finish=*/finish_routine,
};

void append_line(const char* text, const char* path) {
    if (text == nullptr || text[0] == '\0') return;
    std::FILE* f = open_file(path, file_exists(path) ? "ab" : "wb");
    if (f == nullptr) return;  // an unwritable module list costs the entry, not the start
    std::fwrite(text, 1, std::strlen(text), f);
    std::fclose(f);
}

}  // namespace zmb

namespace {

constexpr const char* kModuleList = "IGMLIST.DAT";
constexpr const char* kListName = "ZMB_VORN\n";
constexpr const char* kListDescription =
    "`0F`9ar `0R`9eaches! `7(VORN IGM Expansion by `%A`7rdo `%P`7enn)\n";

// The three lines other modules use to find this one in IGMLIST.DAT.
void append_module_list_entry() {
    char number[16];
    std::snprintf(number, sizeof number, "%d\n", static_cast<int>(zmb::module_number));
    zmb::append_line(kListName, kModuleList);
    zmb::append_line(number, kModuleList);
    zmb::append_line(kListDescription, kModuleList);
}

}  // namespace

extern "C" void init__zmb_vorn(void) {
    using namespace zmb;

    const char* name = gmdnam("ZMB_VORN.MDF");
    stzcpy(descriptor.description, name != nullptr ? name : "", sizeof descriptor.description);
    module_number = register_module(&descriptor);

    // The low 16 bits of the clock, never 0: rand() then serves every random
    // choice of the scripts and the colour codes.
    std::srand(static_cast<unsigned>((std::time(nullptr) & 0xFFFF) | 1));

    append_module_list_entry();

    work_buffer = static_cast<char*>(alcmem(kWorkSize));
    result_buffer = static_cast<char*>(alcmem(kResultSize));
    expanded_buffer = static_cast<char*>(alcmem(kExpandedSize));
    work_buffer[0] = result_buffer[0] = expanded_buffer[0] = '\0';

    menu_entry_count = build_menu_script();

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
