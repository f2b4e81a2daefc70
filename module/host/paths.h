// The one door through which the module opens files. DOS-style names
// ("QHYVIGMS\CAVE.LOR") become Linux paths: each `\` becomes `/`, and a
// component missing under its exact name is matched ignoring case.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zmb {

inline constexpr size_t kPathMax = 512;

// Maps dos_name into out (out_size bytes, always terminated) and returns out.
// A component that does not exist keeps the spelling written, so new files
// are created under the name as written.
const char* map_path(const char* dos_name, char* out, size_t out_size);

// fopen through the mapping; a "t" in the mode (text mode) is dropped.
std::FILE* open_file(const char* dos_name, const char* mode);

// True when the file can be opened for binary reading; closed again at once.
bool file_exists(const char* dos_name);

// Deletes the file; 0 on success.
int remove_file(const char* dos_name);

// A file opened through the mapping that closes itself when it goes out of
// scope, so no early return can leave a handle open.
class OpenFile {
  public:
    OpenFile(const char* dos_name, const char* mode) : file_(open_file(dos_name, mode)) {}
    ~OpenFile() { close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    explicit operator bool() const { return file_ != nullptr; }
    std::FILE* get() const { return file_; }
    void close() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
    }

  private:
    std::FILE* file_;
};

}  // namespace zmb
