// Helpers for igmhost's log lines.
#include "server/frontend/log_lines.h"

namespace frontend {

std::string printable(std::string_view text, size_t max) {
    std::string out;
    for (char c : text.substr(0, max)) {
        auto byte = static_cast<unsigned char>(c);
        out += byte >= 32 && byte < 127 ? c : '?';
    }
    return out;
}

std::string who(int channel, std::string_view name) {
    std::string out = "channel " + std::to_string(channel);
    if (!name.empty()) out += " (" + printable(name, 40) + ")";
    return out;
}

}  // namespace frontend
