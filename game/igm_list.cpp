// Reading and rewriting IGMLIST.DAT.
#include "game/igm_list.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace game {
namespace {

std::vector<std::string> read_lines() {
    std::ifstream in(kIgmListFile, std::ios::binary);
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

bool replace_igm_entries(const std::vector<IgmEntry>& entries, int* dropped_lines,
                         std::string* error) {
    // Read the file as it is, line ends included, so that what is kept is
    // written back byte for byte.
    std::string kept;
    {
        std::ifstream in(kIgmListFile, std::ios::binary);
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
    std::string temporary = std::string(kIgmListFile) + ".NEW";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << kept << fresh.str();
        out.flush();
        if (!out) {
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
