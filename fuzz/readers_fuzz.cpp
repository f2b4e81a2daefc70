// Fuzz target: the readers of the files others write. The input is
// ZMBVIGMS.CNF, the hand-off file TEMP1.TMP and IGMLIST.DAT, separated by
// lines "~~" (a part not given is a missing file); the configuration is read
// as at start-up, then a player arrives and goes back to the game.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "fuzz/fuzz_host.h"
#include "include/host_interface.h"
#include "module/data/config.h"

FUZZ_START("readers", init__zmb_vorn)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzz::split({reinterpret_cast<const char*>(data), size});
    fuzz::in_world([&] {
        const char* files[] = {"ZMBVIGMS.CNF", "TEMP1.TMP", "IGMLIST.DAT"};
        for (size_t i = 0; i < std::size(files); ++i) {
            if (i < parts.size())
                fuzz::write_file(files[i], parts[i]);
            else
                std::filesystem::remove(files[i]);
        }
        try {
            zmb::read_config();
        } catch (const fuzz::Catastro&) {  // the player still arrives
        }
        fuzz::arrive();   // the arrival reads the hand-off file
        fuzz::type("X");  // the way back reads IGMLIST.DAT
    });
    return 0;
}
