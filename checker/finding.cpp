// The one text form of a finding, "FILE:LINE:COLUMN: warning: MESSAGE", as
// compilers print it, so that editors jump to the line and CI logs read alike.
#include "checker/finding.h"

namespace checker {

std::string_view severity_name(Severity severity) {
    switch (severity) {
        case Severity::note:
            return "note";
        case Severity::warning:
            return "warning";
        case Severity::error:
            return "error";
    }
    return "error";
}

std::string format_finding(const Finding& finding) {
    std::string out = finding.file;
    if (finding.line > 0) {
        out += ':' + std::to_string(finding.line);
        if (finding.column > 0) out += ':' + std::to_string(finding.column);
    }
    out += ": ";
    out += severity_name(finding.severity);
    out += ": ";
    out += finding.message;
    return out;
}

}  // namespace checker
