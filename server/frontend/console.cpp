// The console channel: raw mode in, translated text out.
#include "server/frontend/console.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace frontend {
namespace {

struct termios saved;
bool saved_valid = false;

}  // namespace

void restore_console() {
    if (saved_valid) tcsetattr(0, TCSAFLUSH, &saved);
    saved_valid = false;
}

std::unique_ptr<ConsoleConnection> ConsoleConnection::open(Charset charset, std::string* error) {
    if (!isatty(0) || !isatty(1)) {
        *error = "--console needs a terminal: standard input and output are not both a tty";
        return nullptr;
    }
    if (tcgetattr(0, &saved) != 0) {
        *error = "cannot read the terminal settings";
        return nullptr;
    }
    saved_valid = true;
    std::atexit(restore_console);
    // Key by key, no local echo (the line editor echoes), no flow control
    // (Ctrl-S must not freeze the whole server). Signals stay on, so that
    // Ctrl-C stops igmhost cleanly; output processing stays on.
    struct termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(0, TCSAFLUSH, &raw) != 0) {
        restore_console();
        *error = "cannot put the terminal in raw mode";
        return nullptr;
    }
    std::unique_ptr<ConsoleConnection> console(new ConsoleConnection());
    console->editor_.set_charset(charset);
    return console;
}

ConsoleConnection::~ConsoleConnection() {
    restore_console();
}

bool ConsoleConnection::read_input() {
    char buffer[4096];
    ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    if (n == 0) return false;
    take_typed(std::string_view(buffer, static_cast<size_t>(n)), true);
    return true;
}

void ConsoleConnection::write_text(std::string_view text) {
    queue_raw(render(text));
}

AttachedConsole::AttachedConsole(int fd, Charset charset) : fd_(fd) {
    editor_.set_charset(charset);
}

AttachedConsole::~AttachedConsole() {
    close(fd_);
}

bool AttachedConsole::read_input() {
    char buffer[4096];
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    if (n == 0) return false;
    // `igmhost console` passes Ctrl-C on as a byte: it is the console's
    // interrupt, as the signal is at the built-in console, and no key.
    char* end = std::remove(buffer, buffer + n, '\x03');
    if (end != buffer + n) interrupted_ = true;
    take_typed(std::string_view(buffer, static_cast<size_t>(end - buffer)), true);
    return true;
}

}  // namespace frontend
