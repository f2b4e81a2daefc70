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
// are created under the name as written. Reads try the name as written first.
const char* map_path(const char* dos_name, char* out, size_t out_size);

// Takes the real path of the working directory as the world folder. Called
// once at start-up, before the module writes anything.
void remember_world_folder();

// fopen through the mapping; a "t" in the mode (text mode) is dropped. Only
// a regular file opens, and nothing blocks: anything else in its place is
// missing to a reader and an error to a writer. A mode that writes is
// refused (and logged) when the file would land outside the world folder.
std::FILE* open_file(const char* dos_name, const char* mode);

// The same open for reading only, as a bare descriptor (for readers that keep
// their own fixed buffer); -1 with errno set when open_file would fail.
int open_for_reading(const char* dos_name);

// True when the file can be opened for binary reading; closed again at once.
bool file_exists(const char* dos_name);

// Replaces the file's whole contents so that a crash at any moment leaves
// the old file or the new one, never a mix: a temporary file beside it,
// synced, renamed over it. A link there is followed when it stays in the
// world folder. False (nothing changed) when the file cannot be written.
bool replace_file(const char* dos_name, const char* bytes, size_t size);

// One line in the host's log (through shocst) for a file the module will
// not touch: "Far Reaches: refused PATH: WHY".
void log_refusal(const char* path, const char* why);

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
