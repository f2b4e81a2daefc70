// A kill at a chosen moment of a save. The test binary defines write and
// rename itself (as it does rand and time), so the module's calls land
// here; once armed, the n-th such call kills the process with SIGKILL
// before it takes effect, as kill -9 or a power cut at that moment would.
#pragma once

namespace test {

enum class FileCall { kWrite, kRename };

void kill_at(FileCall call, int nth);  // nth 1 is the next such call
void disarm_kill();

}  // namespace test
