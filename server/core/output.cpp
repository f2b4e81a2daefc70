// The host's output buffer (prf, outprf, clrmlt), the console line of
// shocst, the log, and catastro, the fatal stop.
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "server/core/core_state.h"
#include "server/core/host_core.h"

namespace host {
namespace {

std::function<void(std::string_view)>& log_sink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

void (*catastro_hook)() = nullptr;

// Appends printf-style text to `out`, however long it turns out to be.
void append_formatted(std::string& out, const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
    } else {
        size_t old = out.size();
        out.resize(old + static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data() + old, static_cast<size_t>(n) + 1, format, again);
        out.resize(old + static_cast<size_t>(n));
    }
    va_end(again);
}

// "YYYY-MM-DD HH:MM:SS " of the real local time (not the test clock: the log
// records when things happened).
std::string stamp() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S ", &tm);
    return buf;
}

void write_log_line(std::string line) {
    // One event, one line: line ends and other controls inside become blanks.
    for (char& c : line) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) c = ' ';
    }
    line.insert(0, stamp());
    if (log_sink()) {
        log_sink()(line);
    } else {
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
}

}  // namespace

void log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vlog(format, args);
    va_end(args);
}

void vlog(const char* format, va_list args) {
    std::string text;
    append_formatted(text, format, args);
    write_log_line(std::move(text));
}

void set_log_sink(std::function<void(std::string_view line)> sink) {
    log_sink() = std::move(sink);
}

void set_catastro_hook(void (*hook)()) {
    catastro_hook = hook;
}

}  // namespace host

extern "C" {

void prf(const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    if (std::strcmp(format, "%s") == 0) {
        // How a module sends its texts: appended as they are, no formatting pass.
        const char* text = va_arg(args, const char*);
        host::detail::core().output.append(text != nullptr ? text : "(null)");
    } else {
        host::append_formatted(host::detail::core().output, format, args);
    }
    va_end(args);
}

void outprf(int channel) {
    auto& c = host::detail::core();
    if (!c.output.empty() && host::detail::find_channel(channel, "outprf")) {
        ++c.sent;
        host::wake_statuses(channel);  // a status waiting there may be due now
        if (c.sink) c.sink(channel, c.output);
    }
    c.output.clear();
}

void clrmlt(void) {
    host::detail::core().output.clear();
    host::counters().clrmlt++;
}

void shocst(const char* title, const char* text) {
    std::string line = std::string(title ? title : "") + " " + (text ? text : "");
    host::log("shocst: %s", line.c_str());
    auto& counters = host::counters();
    counters.shocst++;
    counters.last_shocst = line;
    counters.console.push_back(line);
}

void catastro(const char* format, ...) {
    std::string message;
    if (format) {
        va_list args;
        va_start(args, format);
        host::append_formatted(message, format, args);
        va_end(args);
    }
    host::log("catastro: %s", message.c_str());
    if (host::catastro_hook) host::catastro_hook();
    std::fflush(stderr);
    _exit(70);
}

}  // extern "C"
