// The one ScriptBuffers. The expansion block comes from the host like the
// text utilities' blocks; the other two are the module's own.
#include "module/script/script_buffers.h"

#include "include/host_interface.h"

namespace zmb {

ScriptBuffers script_buffers;

void allocate_script_buffers() {
    script_buffers.expanded = static_cast<char*>(alcmem(kExpandedSize));
    script_buffers.expanded[0] = '\0';
}

}  // namespace zmb
