// The part of a terminal connection that does not depend on its transport.
#include "server/frontend/connection.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace frontend {

void Connection::take_typed(std::string_view bytes, bool echo) {
    typed_bytes_ += bytes.size();
    const bool line_waiting = !lines_.empty();
    std::string echoed;
    editor_.feed(bytes, line_limit_, echoed, lines_);
    if (hidden_) std::erase_if(echoed, [](char c) { return c != '\n'; });
    // What is typed behind a line the session has not taken yet is not
    // echoed: the answer to that line may be a prompt that hides typing,
    // as a name typed with its password in one packet would be.
    if (line_waiting) {
        echoed.clear();
    } else if (const size_t end = echoed.find('\n'); end != std::string::npos) {
        echoed.resize(end + 1);
    }
    if (echo && !echoed.empty()) write_text(echoed);
    // A flood of line ends must not queue without bound: the oldest lines
    // are kept, as a user typing ahead would expect.
    while (lines_.size() > kMaxQueuedLines)
        lines_.pop_back();
}

std::string Connection::render(std::string_view text) {
    if (watcher_) watcher_(text);
    std::string adapted;
    for (char c : text) {
        if (escape_ == Escape::none && c != '\x1b') {
            adapted += c;
            continue;
        }
        if (escape_ == Escape::none) {
            escape_ = Escape::started;
            sequence_.assign(1, c);
            continue;
        }
        sequence_ += c;
        if (escape_ == Escape::started && c == '[') {
            escape_ = Escape::csi;
            continue;
        }
        // A CSI sequence ends with a byte from '@' to '~' (a runaway one is
        // cut off at 32 bytes); any other ESC sequence is ESC and one byte.
        if (escape_ == Escape::csi && (c < '@' || c > '~') && sequence_.size() < 32) continue;
        escape_ = Escape::none;
        if (!colour_) continue;
        adapted += sequence_;
        if (sequence_ == "\x1b[2J") adapted += "\x1b[H";
    }
    std::string bytes;
    append_for_terminal(bytes, adapted, editor_.charset());
    return bytes;
}

bool Connection::flush() {
    while (sent_ < out_.size()) {
        ssize_t n = ::write(write_fd(), out_.data() + sent_, out_.size() - sent_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) return false;
        sent_ += static_cast<size_t>(n);
        last_progress_ = std::chrono::steady_clock::now();
    }
    // Drop what is written once it is the larger part of the buffer, so
    // the queue never costs more than twice what waits.
    if (sent_ == out_.size()) {
        out_.clear();
        sent_ = 0;
    } else if (sent_ > out_.size() / 2) {
        out_.erase(0, sent_);
        sent_ = 0;
    }
    return true;
}

}  // namespace frontend
