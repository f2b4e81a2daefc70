// Script lines read the way fgets reads them, straight from a descriptor
// through a fixed window of the file: no stream, no allocation, and one read
// serves the several lines of a slice.
#pragma once

#include <array>
#include <cstddef>

namespace zmb {

class LineReader {
  public:
    // Opens the file for reading through the path layer (open_for_reading).
    explicit LineReader(const char* dos_name);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    explicit operator bool() const { return fd_ >= 0; }
    void close();

    // The line at byte offset `at`, as fseek there and fgets(out, room) give
    // it: at most room-1 characters, up to and with its line feed, always
    // terminated. Returns the offset after it (ftell), or -1 at the end of the
    // file, on a read error and for a negative offset.
    long line_at(long at, char* out, size_t room);

  private:
    // Reads the window from `at`; its length, 0 at the end of file, -1 on error.
    long fill(long at);

    int fd_;
    long start_ = 0;     // file offset of window_[0]
    size_t length_ = 0;  // bytes of the window that hold the file
    std::array<char, 2048> window_;
};

}  // namespace zmb
