// One user's terminal, whatever carries it (a telnet socket or the local
// console): typed bytes become lines through a LineEditor, host text goes
// out translated for the terminal's character set through a bounded
// output queue.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "server/frontend/line_editor.h"

namespace frontend {

// A client that stops reading is dropped once this much output waits.
inline constexpr size_t kMaxQueuedOutput = 1 << 20;
// Output that has not moved at all for this long means the client has
// stopped reading.
inline constexpr std::chrono::seconds kOutputStall{5};
// Lines typed (or pasted) ahead of the host are kept up to this many.
inline constexpr size_t kMaxQueuedLines = 64;

class Connection {
  public:
    virtual ~Connection() = default;

    virtual int read_fd() const = 0;
    virtual int write_fd() const = 0;
    // Reads what has arrived; false once the other side is gone or has
    // ended its input (see input_ended).
    virtual bool read_input() = 0;
    // The other side closed its half of the line (a half-close, or the
    // first sign of a hang-up) after the lines already taken: those are
    // still to be served, and read_input must not be called again.
    bool input_ended() const { return input_ended_; }
    // Queues host text (CP437 with LF line ends) for the terminal.
    virtual void write_text(std::string_view text) = 0;
    // A line for people: "127.0.0.1:40312", "console".
    virtual std::string describe() const = 0;

    // Writes as much queued output as the terminal takes now (the write
    // descriptor is non-blocking); false on a write error (the other side
    // is gone).
    bool flush();
    size_t queued_output() const { return out_.size() - sent_; }
    bool output_overflowed() const { return queued_output() > kMaxQueuedOutput; }
    // Output waits and none of it has been written for kOutputStall.
    bool output_stalled(std::chrono::steady_clock::time_point now) const {
        return queued_output() > 0 && now - last_progress_ >= kOutputStall;
    }

    std::deque<std::string>& lines() { return lines_; }
    // Bytes the user has typed so far (telnet commands do not count), to
    // tell activity from keep-alives.
    size_t typed_bytes() const { return typed_bytes_; }
    void set_line_limit(size_t limit) { line_limit_ = limit; }
    // While hidden (a password is typed) only line ends are echoed.
    void set_hidden(bool hidden) { hidden_ = hidden; }
    Charset charset() const { return editor_.charset(); }
    // False for a terminal that cannot show colour: every ANSI sequence is
    // removed from what it is sent.
    void set_colour(bool colour) { colour_ = colour; }
    bool colour() const { return colour_; }
    // Someone watching (the sysop's spy) gets all host text sent here, as
    // it is before it is adapted; an empty function ends it.
    void set_watcher(std::function<void(std::string_view)> watcher) {
        watcher_ = std::move(watcher);
    }
    // A line for the user from outside their session (the sysop's
    // message) that must not land inside a screen being drawn: shown at
    // once when the user sits at a prompt (the prompt and what is typed so
    // far are shown again under it), else held and shown just before the
    // next prompt. Output that ends without a line end is a prompt.
    void notice(std::string_view line);
    // Called whenever bytes are queued for the terminal, so that the
    // server's loop visits only connections with something to send.
    void set_output_hook(std::function<void()> hook) { output_hook_ = std::move(hook); }
    // True once after the user pressed Ctrl-C where it is a command rather
    // than a key (an attached console: there it asks to stop igmhost).
    bool take_interrupt() { return std::exchange(interrupted_, false); }

  protected:
    // Feeds typed bytes to the editor, echoes when `echo`, bounds the queue.
    void take_typed(std::string_view bytes, bool echo);
    // The one place host text is adapted to the terminal: ESC[H after every
    // ESC[2J (xterm-family terminals do not home the cursor on a clear),
    // every ANSI sequence dropped when colour is off, then the character
    // set. A sequence split between two calls is followed across them.
    std::string render(std::string_view text);
    // Queues bytes exactly as they are to go on the wire.
    void queue_raw(std::string_view bytes) {
        if (queued_output() == 0) last_progress_ = std::chrono::steady_clock::now();
        out_.append(bytes);
        if (output_hook_ && !bytes.empty()) output_hook_();
    }

    LineEditor editor_;
    std::deque<std::string> lines_;
    size_t line_limit_ = 250;
    size_t typed_bytes_ = 0;
    bool hidden_ = false;
    bool input_ended_ = false;
    bool interrupted_ = false;

  private:
    enum class Escape { none, started, csi };
    bool colour_ = true;
    std::function<void(std::string_view)> watcher_;
    bool echoing_ = false;    // render() is given typed text, not host text
    bool at_prompt_ = false;  // the last host text ended inside a line, unanswered
    std::string prompt_;      // that line so far (too long: not shown again)
    std::string held_;        // notices waiting for the next prompt
    std::function<void()> output_hook_;
    Escape escape_ = Escape::none;  // where render() is inside an ANSI sequence
    std::string sequence_;          // the sequence so far, ESC included

    std::string out_;
    size_t sent_ = 0;  // bytes of out_ already written
    // When output last moved (or began to wait).
    std::chrono::steady_clock::time_point last_progress_ = std::chrono::steady_clock::now();
};

}  // namespace frontend
