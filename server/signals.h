// igmhost's signal handling: a stop signal becomes a byte on the server's
// wake pipe, so the loop notices it between two polls; a crash restores the
// console's terminal before the process dies.
#pragma once

namespace server {

// Sends SIGINT, SIGTERM, SIGHUP and SIGQUIT to `wake_fd` (one byte, the
// signal's number; the server decides: SIGHUP reopens the log file), restores the console on a
// fatal signal, and ignores SIGPIPE. For the whole process: call once, from main.
void catch_signals(int wake_fd);

}  // namespace server
