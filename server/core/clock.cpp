// The host clock and its day and time encodings:
//   today()  days since 1980-01-01 of the local date (grows by one a day)
//   now()    DOS-packed time of day: hour << 11 | minute << 5 | second / 2
//   nctime   "HH:MM:SS" of a now() value;  ncdate  "MM/DD/YY" of a today() value
// Tests fix the clock with set_clock; the real clock is read with
// clock_gettime so that a test binary's own time() is never consulted here.
#include <cstdio>
#include <ctime>

#include "server/core/host_core.h"

namespace host {
namespace {

bool clock_fixed = false;
std::time_t fixed_time = 0;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long days_from_civil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

struct Civil {
    long year;
    unsigned month, day;
};

Civil civil_from_days(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long>(yoe) + era * 400 + (m <= 2), m, d};
}

const long kEpoch1980 = days_from_civil(1980, 1, 1);

std::tm local_now() {
    std::time_t t = clock_now();
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

void set_clock(std::time_t t) {
    clock_fixed = true;
    fixed_time = t;
}

void clear_clock() {
    clock_fixed = false;
}

// The coarse clock turns to the next second at the same tick as time()
// does, so a module comparing time() with a deadline and the host agree on
// which second it is.
std::time_t clock_now() {
    if (clock_fixed) return fixed_time;
    timespec ts{};
    clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return ts.tv_sec;
}

std::chrono::nanoseconds clock_until_next_second() {
    timespec fine{}, coarse{};
    clock_gettime(CLOCK_REALTIME, &fine);
    clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
    // Past the turn of the second, the coarse clock follows at the next tick.
    if (fine.tv_sec != coarse.tv_sec) return std::chrono::milliseconds(1);
    return std::chrono::nanoseconds(1'000'000'000 - fine.tv_nsec);
}

}  // namespace host

extern "C" {

uint16_t today(void) {
    std::tm tm = host::local_now();
    long days = host::days_from_civil(tm.tm_year + 1900L, static_cast<unsigned>(tm.tm_mon + 1),
                                      static_cast<unsigned>(tm.tm_mday)) -
                host::kEpoch1980;
    return static_cast<uint16_t>(days);
}

uint16_t now(void) {
    std::tm tm = host::local_now();
    return static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

char* nctime(uint16_t time) {
    static char buffer[12];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", (time >> 11) & 31u, (time >> 5) & 63u,
                  (time & 31u) * 2);
    return buffer;
}

char* ncdate(uint16_t day) {
    static char buffer[16];
    host::Civil c = host::civil_from_days(host::kEpoch1980 + day);
    std::snprintf(buffer, sizeof buffer, "%02u/%02u/%02ld", c.month, c.day, c.year % 100);
    return buffer;
}

}  // extern "C"
