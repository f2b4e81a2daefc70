// The part of a terminal connection that does not depend on its transport.
#include "server/frontend/connection.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace frontend {
namespace {

// A prompt line longer than this is not shown again under a notice.
constexpr size_t kMaxPrompt = 256;

}  // namespace

void Connection::take_typed(std::string_view bytes, bool echo) {
    typed_bytes_ += bytes.size();
    const bool line_waiting = !lines_.empty();
    const size_t lines_before = lines_.size();
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
    // A finished line answers the prompt: the host is at work until it
    // shows the next one.
    if (lines_.size() > lines_before) at_prompt_ = false;
    if (echo && !echoed.empty()) {
        echoing_ = true;
        write_text(echoed);
        echoing_ = false;
    }
    // A flood of line ends must not queue without bound: the oldest lines
    // are kept, as a user typing ahead would expect.
    while (lines_.size() > kMaxQueuedLines)
        lines_.pop_back();
}

void Connection::notice(std::string_view line) {
    // Appended, not concatenated: GCC 12 misreads "\n" + string at -O3.
    std::string shown(1, '\n');
    shown.append(line).append(1, '\n');
    if (!at_prompt_) {
        held_ += shown;
        return;
    }
    write_text(shown + (prompt_.size() <= kMaxPrompt ? prompt_ : ""));
    if (hidden_ || editor_.partial().empty()) return;
    echoing_ = true;
    write_text(editor_.partial());
    echoing_ = false;
}

std::string Connection::render(std::string_view text) {
    std::string with_notices;
    if (!echoing_ && !text.empty()) {
        size_t line_end = text.rfind('\n');
        at_prompt_ = text.back() != '\n';
        if (at_prompt_ && !held_.empty()) {
            // Notices held since the last prompt go in before this one's line.
            size_t cut = line_end == std::string_view::npos ? 0 : line_end + 1;
            with_notices.append(text.substr(0, cut)).append(held_).append(text.substr(cut));
            held_.clear();
            text = with_notices;
            line_end = text.rfind('\n');
        }
        if (line_end == std::string_view::npos) {
            prompt_ += text;
        } else {
            prompt_.assign(text.substr(line_end + 1));
        }
        if (prompt_.size() > kMaxPrompt) prompt_.resize(kMaxPrompt + 1);  // stays too long
    }
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
