// What the load tools read of a process and ask of the system: CPU time
// from /proc, and every descriptor the hard limit allows.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace loadtools {

// User plus system seconds of `pid`; -1 when /proc cannot tell.
inline double cpu_seconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    // After the command's closing parenthesis: state is field 3, utime 14
    // and stime 15.
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    double utime = 0, stime = 0;
    for (int field = 3; field <= 15 && fields >> f; ++field) {
        if (field == 14) utime = std::atof(f.c_str());
        if (field == 15) stime = std::atof(f.c_str());
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// One descriptor per connection: takes all the kernel allows.
inline void raise_descriptor_limit() {
    rlimit nofile{};
    if (getrlimit(RLIMIT_NOFILE, &nofile) == 0 && nofile.rlim_cur < nofile.rlim_max) {
        nofile.rlim_cur = nofile.rlim_max;
        setrlimit(RLIMIT_NOFILE, &nofile);
    }
}

}  // namespace loadtools
