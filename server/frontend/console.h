// The local console front end: the terminal igmhost runs in becomes one
// channel, read key by key in raw mode. The terminal's own settings come
// back on every way out: normal exit, a stop by signal, and catastro.
#pragma once

#include <memory>
#include <string>

#include "server/frontend/connection.h"

namespace frontend {

class ConsoleConnection : public Connection {
  public:
    // Puts standard input in raw mode; nothing (with *error) when standard
    // input is not a terminal.
    static std::unique_ptr<ConsoleConnection> open(Charset charset, std::string* error);
    ~ConsoleConnection() override;

    int read_fd() const override { return 0; }
    int write_fd() const override { return 1; }
    bool read_input() override;
    void write_text(std::string_view text) override;
    std::string describe() const override { return "console"; }

  private:
    ConsoleConnection() = default;
};

// The same sysop console over a Unix socket of the world folder
// (`igmhost console`): the bytes the attaching terminal types and is sent.
class AttachedConsole : public Connection {
  public:
    AttachedConsole(int fd, Charset charset);
    ~AttachedConsole() override;
    AttachedConsole(const AttachedConsole&) = delete;
    AttachedConsole& operator=(const AttachedConsole&) = delete;

    int read_fd() const override { return fd_; }
    int write_fd() const override { return fd_; }
    bool read_input() override;
    void write_text(std::string_view text) override { queue_raw(render(text)); }
    std::string describe() const override { return "attached console"; }

  private:
    int fd_;
};

// Restores the terminal settings saved by ConsoleConnection::open; does
// nothing when none are saved. Safe to call more than once.
void restore_console();

}  // namespace frontend
