// igmhost's log file (--log FILE, or IGMHOST.LOG with --console on a
// terminal): opened for appending, only ever a regular file, and opened
// afresh on SIGHUP so that a rotated log is let go.
#pragma once

#include <string>

namespace server {

// Sends the host log to `path` (appended to, made when missing). False with
// *error naming the file when it cannot be opened or is not a regular file
// (a pipe in its place would block every log line).
bool open_log_file(const std::string& path, std::string* error);

// Closes the log file and opens it again by its name (after a rotation),
// logging that it did. Without a log file (the log goes to stderr) it only
// logs that it was asked. A file that cannot be opened again keeps the old one.
void reopen_log_file();

}  // namespace server
