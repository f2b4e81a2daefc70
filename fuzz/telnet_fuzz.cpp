// Fuzz target: the telnet input path as igmhost drives it, with the telnet
// parser and the line editor keeping their state from one read to the next.
// Input: one byte of set-up (bit 0-1: character set none/CP437/UTF-8), then
// reads, each a control byte (bits 0-5: length - 1; bit 6: the host takes
// the finished lines and writes them back; bit 7: the module's 128-character
// line limit) followed by that many bytes from the caller.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "server/frontend/telnet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds) != 0) return 0;
    const int caller = fds[1];
    std::optional<frontend::Charset> forced;
    if ((data[0] & 3) == 1) forced = frontend::Charset::cp437;
    if ((data[0] & 3) == 2) forced = frontend::Charset::utf8;
    auto connection = std::make_unique<frontend::TelnetConnection>(fds[0], "fuzz", forced);

    for (size_t at = 1; at < size;) {
        const uint8_t control = data[at++];
        const size_t length = std::min<size_t>((control & 0x3F) + 1, size - at);
        connection->set_line_limit(control & 0x80 ? 128 : 250);
        if (write(caller, data + at, length) != static_cast<ssize_t>(length)) break;
        at += length;
        const bool open = connection->read_input();
        connection->take_warning();
        if (control & 0x40) {
            auto& lines = connection->lines();
            for (; !lines.empty(); lines.pop_front())
                connection->write_text(lines.front() + "\n");
        }
        if (!connection->flush() || !open) break;
        char sent[4096];  // read and dropped, as a caller that keeps up would
        while (read(caller, sent, sizeof sent) > 0) {
        }
    }
    connection.reset();  // closes its end
    close(caller);
    return 0;
}
