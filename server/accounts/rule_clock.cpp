// The rules' clock. In a test build the environment variable
// IGMHOST_TEST_CLOCK names a file holding a number of seconds; the clock
// runs that far ahead of the real one, read afresh at every look, so a
// test moves time by rewriting the file.
#include "server/accounts/rule_clock.h"

#ifdef IGMHOST_TEST_CLOCK
#include <cstdlib>
#include <fstream>
#endif

namespace rules {
namespace {

#ifdef IGMHOST_TEST_CLOCK
std::chrono::seconds offset() {
    const char* path = std::getenv("IGMHOST_TEST_CLOCK");
    long long seconds = 0;
    if (path != nullptr) {
        std::ifstream in(path);
        in >> seconds;
    }
    return std::chrono::seconds(seconds);
}
#else
constexpr std::chrono::seconds offset() {
    return std::chrono::seconds(0);
}
#endif

}  // namespace

Clock::time_point now() {
    return Clock::now() + offset();
}

std::time_t wall_now() {
    return std::time(nullptr) + static_cast<std::time_t>(offset().count());
}

}  // namespace rules
