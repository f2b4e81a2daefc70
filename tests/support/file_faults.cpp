// The test binary's own write and rename: plain pass-through calls until
// kill_at arms one of them.
#include "tests/support/file_faults.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace test {
namespace {

struct Armed {
    bool on = false;
    FileCall call = FileCall::kWrite;
    int left = 0;  // calls of that kind until the kill, this one included
} armed;

void maybe_kill(FileCall call) {
    if (armed.on && armed.call == call && --armed.left == 0) raise(SIGKILL);
}

}  // namespace

void kill_at(FileCall call, int nth) {
    armed = Armed{true, call, nth};
}
void disarm_kill() {
    armed = Armed{};
}

}  // namespace test

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
    test::maybe_kill(test::FileCall::kWrite);
    return syscall(SYS_write, fd, bytes, size);
}

extern "C" int rename(const char* from, const char* to) noexcept {
    test::maybe_kill(test::FileCall::kRename);
    return renameat(AT_FDCWD, from, AT_FDCWD, to);
}
