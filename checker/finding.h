// What the script checker reports: one finding per problem, with the place in
// the file, and the one text form for it, the form compilers use
// ("FILE:LINE:COLUMN: warning: MESSAGE"), which editors and CI understand.
#pragma once

#include <string>
#include <string_view>

namespace checker {

enum class Severity {
    note,     // more about the finding before it; never changes the exit status
    warning,  // the module runs it, but not as its author most likely meant
    error,    // the module cannot run it as written: a place ends or is never offered
};

struct Finding {
    std::string file;  // as the reader named it: a path given, or "QHYVIGMS\WELL.LOR"
    int line = 0;      // from 1; 0 for the file as a whole
    int column = 0;    // from 1; 0 when the line as a whole is meant
    Severity severity = Severity::warning;
    std::string message;  // one line, no final full stop
};

std::string_view severity_name(Severity severity);

// "FILE:LINE:COLUMN: SEVERITY: MESSAGE"; line and column are left out when 0.
std::string format_finding(const Finding& finding);

}  // namespace checker
