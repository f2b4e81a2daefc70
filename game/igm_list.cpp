// Reading and rewriting IGMLIST.DAT.
#include "game/igm_list.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "include/regular_file.h"

namespace game {
namespace {

// The list's bytes; a missing list, and anything but a regular file in its
// place (a pipe would block the server), read as empty.
std::string list_bytes() {
    std::string text;
    files::read_regular(kIgmListFile, &text);
    return text;
}

std::vector<std::string> read_lines() {
    std::istringstream in(list_bytes());
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

int parse_number(std::string_view text) {
    int value = 0;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<IgmEntry> read_igm_list() {
    std::vector<std::string> lines = read_lines();
    std::vector<IgmEntry> entries;
    for (size_t i = 0; i + 2 < lines.size(); i += 3) {
        entries.push_back({lines[i], parse_number(lines[i + 1]), lines[i + 2]});
    }
    return entries;
}

bool replace_igm_entries(const std::vector<IgmEntry>& entries,
                         const std::vector<std::string>& also_remove, int* dropped_lines,
                         std::string* error) {
    // Read the file as it is, line ends included, so that what is kept is
    // written back byte for byte.
    std::string kept;
    {
        std::istringstream in(list_bytes());
        std::string line;
        std::vector<std::string> raw;
        while (std::getline(in, line))
            raw.push_back(line + (in.eof() ? "" : "\n"));
        size_t i = 0;
        for (; i + 2 < raw.size(); i += 3) {
            std::string name = raw[i].substr(0, raw[i].find_first_of("\r\n"));
            bool ours = false;
            for (const IgmEntry& e : entries)
                ours = ours || same_name(name, e.name);
            for (const std::string& other : also_remove)
                ours = ours || same_name(name, other);
            if (!ours) kept += raw[i] + raw[i + 1] + raw[i + 2];
        }
        *dropped_lines = static_cast<int>(raw.size() - i);
        if (!kept.empty() && kept.back() != '\n') kept += '\n';
    }
    std::ostringstream fresh;
    for (const IgmEntry& e : entries) {
        fresh << e.name << '\n' << e.module_number << '\n' << e.description << '\n';
    }
    // Write a new file and move it into place, so that a failure leaves the
    // old list whole.
    // Whatever is in the temporary file's place goes first, so that the
    // new list is a regular file of its own.
    std::string temporary = std::string(kIgmListFile) + ".NEW";
    std::remove(temporary.c_str());
    {
        std::string bytes = kept + fresh.str();
        std::FILE* out = files::fopen_regular(temporary.c_str(), "wb");
        bool written =
            out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        if (out != nullptr && std::fclose(out) != 0) written = false;
        if (!written) {
            if (error) *error = "cannot write " + temporary + ": " + std::strerror(errno);
            return false;
        }
    }
    if (std::rename(temporary.c_str(), kIgmListFile) != 0) {
        if (error)
            *error = std::string("cannot replace ") + kIgmListFile + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace game
