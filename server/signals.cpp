// Signal handlers of igmhost: only async-signal-safe calls in them.
#include "server/signals.h"

#include <unistd.h>

#include <csignal>

#include "server/frontend/console.h"

namespace server {
namespace {

int wake_fd_for_signals = -1;

void on_stop_signal(int signal_number) {
    char byte = static_cast<char>(signal_number);
    [[maybe_unused]] ssize_t n = write(wake_fd_for_signals, &byte, 1);
}

// A crash must not leave the console's terminal raw: restore it (tcsetattr
// is async-signal-safe), then die of the signal as usual (SA_RESETHAND put
// the default action back).
void on_fatal_signal(int signal_number) {
    frontend::restore_console();
    raise(signal_number);
}

}  // namespace

void catch_signals(int wake_fd) {
    wake_fd_for_signals = wake_fd;
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(s, &action, nullptr);
    struct sigaction fatal {};
    fatal.sa_handler = on_fatal_signal;
    sigemptyset(&fatal.sa_mask);
    fatal.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int s : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        sigaction(s, &fatal, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace server
