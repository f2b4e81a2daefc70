// What igmhost logs about scripts: the checker's findings over the world at
// start-up, and each script the module tells a caller it cannot find or use,
// recognised by the module's fixed failure texts in the caller's output.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace frontend {

// Checks the world in `world` and logs each finding once:
// "script QHYVIGMS\WELL.LOR:12: warning: ...". Returns how many it logged.
size_t log_script_findings(const std::filesystem::path& world);

// Watches what the module sends each channel for its script failure texts.
class ScriptFailureWatch {
  public:
    // Takes the next bytes sent to `channel`; returns one line per failure
    // they complete, e.g. "script QHYVIGMS\GONE.LOR not found".
    std::vector<std::string> feed(int channel, std::string_view bytes);
    void forget(int channel) {
        if (static_cast<size_t>(channel) < pending_.size()) pending_[channel].clear();
    }

  private:
    // Per channel, by number (a lookup per output, so no tree of thousands):
    // text not yet matched.
    std::vector<std::string> pending_;
};

}  // namespace frontend
