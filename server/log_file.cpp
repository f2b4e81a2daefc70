// The log file and its reopening.
#include "server/log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "include/regular_file.h"
#include "server/core/host_core.h"

namespace server {
namespace {

struct LogFile {
    std::string path;
    int fd = -1;
};
LogFile log_file;

// The descriptor of `path` opened for appending, or -1 with *error.
int open_for_append(const std::string& path, std::string* error) {
    files::Opened how = files::Opened::ok;
    int fd = files::open_regular(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644, &how);
    if (fd < 0 && error != nullptr) {
        *error = how == files::Opened::not_regular
                     ? "the log " + path + " is not a regular file"
                     : "cannot open the log " + path + ": " + std::strerror(errno);
    }
    return fd;
}

// One whole line per write, so lines of a rotation never interleave.
void write_line(std::string_view line) {
    std::string text(line);
    if (text.empty() || text.back() != '\n') text += '\n';
    [[maybe_unused]] ssize_t n = ::write(log_file.fd, text.data(), text.size());
}

}  // namespace

bool open_log_file(const std::string& path, std::string* error) {
    int fd = open_for_append(path, error);
    if (fd < 0) return false;
    if (log_file.fd >= 0) ::close(log_file.fd);
    log_file = {path, fd};
    host::set_log_sink(&write_line);
    return true;
}

void reopen_log_file() {
    if (log_file.fd < 0) {
        host::log("SIGHUP: no log file to reopen (the log goes to stderr)");
        return;
    }
    std::string error;
    int fd = open_for_append(log_file.path, &error);
    if (fd < 0) {
        host::log("SIGHUP: %s; the log stays where it was", error.c_str());
        return;
    }
    ::close(log_file.fd);
    log_file.fd = fd;
    host::log("SIGHUP: log file %s reopened", log_file.path.c_str());
}

}  // namespace server
