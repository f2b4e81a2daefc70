// Start-up of the module: registration, seeding, the IGMLIST.DAT entry,
// scratch blocks, the menu of places, the per-user area, configuration and
// ledgers. init__zmb_vorn itself is declared in host_interface.h.
#pragma once

namespace zmb {

// Appends text to the file (created when missing); an empty text does nothing.
void append_line(const char* text, const char* path);

}  // namespace zmb
