// The test binary's own rand, srand and time. The executable exports them
// (-rdynamic), so the module's calls bind here and tests decide what the
// module draws and what time it reads.
#include <cstdlib>
#include <ctime>
#include <deque>

#include "server/core/host_core.h"
#include "tests/support/session.h"

namespace test {
namespace {

std::deque<int> queued;
uint64_t generator_state = 0x853c49e6748fea9bULL;  // fixed: srand does not reseed it
unsigned seed = 0;
int seed_calls = 0;
bool time_fixed = false;
std::time_t fixed_time = 0;

}  // namespace

void queue_rand(std::initializer_list<int> values) {
    queued.insert(queued.end(), values.begin(), values.end());
}
void clear_rand() {
    queued.clear();
}
unsigned last_srand_seed() {
    return seed;
}
int srand_calls() {
    return seed_calls;
}
void set_time(std::time_t t) {
    time_fixed = true;
    fixed_time = t;
    host::set_clock(t);
}
void advance_time(int seconds) {
    set_time(current_time() + seconds);
}
std::time_t current_time() {
    timespec now{};
    if (!time_fixed) clock_gettime(CLOCK_REALTIME, &now);
    return time_fixed ? fixed_time : now.tv_sec;
}
void reset_random_and_time() {
    queued.clear();
    seed = 0;
    seed_calls = 0;
    time_fixed = false;
    host::clear_clock();
}

}  // namespace test

extern "C" {

int rand() noexcept {
    using test::queued;
    if (!queued.empty()) {
        const int v = queued.front();
        queued.pop_front();
        return v;
    }
    auto& state = test::generator_state;
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state >> 33) % (static_cast<uint64_t>(RAND_MAX) + 1));
}

void srand(unsigned s) noexcept {
    test::seed = s;
    test::seed_calls++;
}

time_t time(time_t* out) noexcept {
    const std::time_t t = test::current_time();
    if (out) *out = t;
    return t;
}

}  // extern "C"
