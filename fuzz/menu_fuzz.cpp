// Fuzz target: the menu generator over random folder contents. Each part of
// the input (parts are separated by lines "~~") is a file of QHYVIGMS: its
// first line the name (".LOR" added when it has no dot), the rest its text.
// The menu is made as at start-up, then a player arrives and picks place 1.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"
#include "include/host_interface.h"
#include "module/data/module_state.h"
#include "module/screens/menu_generator.h"

FUZZ_START("menu", init__zmb_vorn)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::in_world([&] {
        for (std::string_view part : fuzz::split({reinterpret_cast<const char*>(data), size})) {
            const size_t end = part.find('\n');  // the name: at most 12 characters
            std::string name(part.substr(0, std::min<size_t>(end, 12)));
            std::replace_if(
                name.begin(), name.end(), [](char c) { return c == '/' || !c; }, '_');
            if (name.empty() || name == "." || name == "..") name = "X";
            if (name.find('.') == std::string::npos) name += ".LOR";
            fuzz::write_file("QHYVIGMS/" + name,
                             end == std::string_view::npos ? "" : part.substr(end + 1));
        }
        zmb::module_state.menu_entry_count = zmb::build_menu_script();
        fuzz::arrive();   // the menu made above
        fuzz::type("1");  // the first place
        fuzz::type("");
    });
    return 0;
}
