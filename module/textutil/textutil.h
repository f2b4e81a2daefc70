// The scratch blocks of the exported text utilities (declared in
// host_interface.h). Their results live in these blocks and last until the
// next call that uses the same block; no other part of the module writes them.
#pragma once

#include <cstddef>

namespace zmb {

inline constexpr size_t kTextWorkSize = 1048;   // ucase, lcase, ocase, mcase, removecolor
inline constexpr size_t kTextResultSize = 275;  // make_date, make_time, alltrim

// Start-up: both blocks from the host's alcmem, the work block first.
void allocate_text_utility_buffers();

}  // namespace zmb
