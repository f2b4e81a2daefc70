// Script problems in igmhost's log. At start-up the script checker runs over
// the world; while igmhost runs, the module's own failure texts (it reports
// a missing or unusable script only to the caller, never to the host) are
// picked out of each caller's output.
#include "server/frontend/script_reports.h"

#include <regex>

#include "checker/checker.h"
#include "server/core/host_core.h"
#include "server/frontend/log_lines.h"

namespace frontend {
namespace {

constexpr size_t kKeep = 512;  // output kept per channel while a text may still complete

// The module's fixed texts, with the ANSI colours of the renderer removed.
struct FailureText {
    std::regex pattern;
    const char* meaning;
};

const std::vector<FailureText>& failure_texts() {
    static const std::vector<FailureText> texts = {
        {std::regex("Script file (\\S+) could not be found!"), "not found"},
        {std::regex("Script file (\\S+) Is not a valid Vorn IGM script!"), "is not a valid script"},
        {std::regex("The IGM file \"([^\"\\n]*)\" could not be used!"), "could not be used"},
    };
    return texts;
}

std::string without_ansi(std::string_view text) {
    static const std::regex ansi("\x1b\\[[0-9;]*[A-Za-z]");
    return std::regex_replace(std::string(text), ansi, "");
}

// "QHYVIGMS\WELL.LOR:12: warning: message": the line, no column.
std::string log_form(const checker::Finding& finding) {
    std::string out = "script " + finding.file;
    if (finding.line > 0) out.append(1, ':').append(std::to_string(finding.line));
    out += ": ";
    out += checker::severity_name(finding.severity);
    out += ": " + finding.message;
    return out;
}

}  // namespace

size_t log_script_findings(const std::filesystem::path& world) {
    const auto findings = checker::check_world(world, checker::Naming::module);
    for (const checker::Finding& finding : findings)
        host::log("%s", log_form(finding).c_str());
    return findings.size();
}

std::vector<std::string> ScriptFailureWatch::feed(int channel, std::string_view bytes) {
    if (static_cast<size_t>(channel) >= pending_.size())
        pending_.resize(static_cast<size_t>(channel) + 1);
    std::string& pending = pending_[channel];
    pending += bytes;
    std::vector<std::string> lines;
    // Every failure text holds one of these; most output holds neither.
    if (pending.find("could not") == std::string::npos &&
        pending.find("Is not a valid") == std::string::npos) {
        if (pending.size() > kKeep) pending.erase(0, pending.size() - kKeep);
        return lines;
    }
    std::string text = without_ansi(pending);
    size_t consumed = 0;  // in `text`: what a match has already used up
    for (;;) {
        std::smatch earliest;
        const FailureText* which = nullptr;
        for (const FailureText& failure : failure_texts()) {
            std::smatch m;
            auto from = text.cbegin() + static_cast<long>(consumed);
            if (std::regex_search(from, text.cend(), m, failure.pattern) &&
                (which == nullptr || m.position(0) < earliest.position(0))) {
                earliest = m;
                which = &failure;
            }
        }
        if (which == nullptr) break;
        lines.push_back("script " + printable(earliest[1].str(), 80) + " " + which->meaning);
        consumed += static_cast<size_t>(earliest.position(0) + earliest.length(0));
    }
    // What matched is done; of the rest keep only a tail that may still grow into a text.
    pending = consumed > 0 ? text.substr(consumed) : pending;
    if (pending.size() > kKeep) pending.erase(0, pending.size() - kKeep);
    return lines;
}

}  // namespace frontend
