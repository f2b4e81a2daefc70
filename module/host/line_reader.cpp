// LineReader: fgets over a window of the file read with pread. A line that
// runs past the window reads the next window from where the line has got to.
#include "module/host/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "module/host/paths.h"

namespace zmb {

LineReader::LineReader(const char* dos_name) : fd_(open_for_reading(dos_name)) {}

LineReader::~LineReader() {
    close();
}

void LineReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long LineReader::fill(long at) {
    ssize_t n;
    do {
        n = pread(fd_, window_.data(), window_.size(), at);
    } while (n < 0 && errno == EINTR);
    start_ = at;
    length_ = n > 0 ? static_cast<size_t>(n) : 0;
    return n;
}

long LineReader::line_at(long at, char* out, size_t room) {
    if (room == 0 || fd_ < 0 || at < 0) return -1;
    size_t kept = 0;
    long position = at;
    while (kept + 1 < room) {
        if (position < start_ || position >= start_ + static_cast<long>(length_)) {
            const long got = fill(position);
            if (got < 0) return -1;  // as fgets: an error loses the line
            if (got == 0) break;
        }
        const char* from = window_.data() + (position - start_);
        size_t take = length_ - static_cast<size_t>(position - start_);
        if (take > room - 1 - kept) take = room - 1 - kept;
        const void* line_feed = std::memchr(from, '\n', take);
        if (line_feed != nullptr)
            take = static_cast<size_t>(static_cast<const char*>(line_feed) - from) + 1;
        std::memcpy(out + kept, from, take);
        kept += take;
        position += static_cast<long>(take);
        if (line_feed != nullptr) break;
    }
    out[kept] = '\0';
    return kept == 0 ? -1 : position;
}

}  // namespace zmb
