// Text from outside (terminal types, names, libtelnet messages) made safe
// for a one-line log entry, and the shared wording of the log lines.
#pragma once

#include <string>
#include <string_view>

namespace frontend {

// Every byte outside printable ASCII becomes "?"; at most `max` characters.
std::string printable(std::string_view text, size_t max);

// "channel 3 (Ardo)" or "channel 3" before sign-on.
std::string who(int channel, std::string_view name);

}  // namespace frontend
