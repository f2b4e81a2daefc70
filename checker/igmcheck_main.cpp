// igmcheck: checks IGM scripts the way the module will run them and prints
// what it finds as "FILE:LINE:COLUMN: error|warning: MESSAGE". Exit status:
// 0 clean, 1 warnings under --werror, 2 errors (or a command line it cannot use).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "checker/checker.h"

namespace {

constexpr const char* kUsage =
    "usage: igmcheck [--werror] FILE...\n"
    "       igmcheck [--werror] --world DIR\n"
    "Checks IGM scripts as the Far Reaches module runs them. --world checks every\n"
    "place of the world in DIR, the side trips the places load, and the news.\n"
    "Exit status: 0 clean, 1 warnings with --werror, 2 errors.\n";

int usage_error(const char* message) {
    std::fprintf(stderr, "igmcheck: %s\n%s", message, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool werror = false;
    std::string world;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--werror") {
            werror = true;
        } else if (arg == "--world") {
            if (i + 1 >= argc) return usage_error("--world needs a folder");
            world = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error(("unknown option " + arg).c_str());
        } else {
            files.emplace_back(arg);
        }
    }
    if (world.empty() && files.empty()) return usage_error("no script to check");
    if (!world.empty() && !files.empty()) return usage_error("give either --world or files");
    if (!world.empty() && !std::filesystem::is_directory(world)) {
        std::fprintf(stderr, "igmcheck: %s is not a folder\n", world.c_str());
        return 2;
    }

    const auto findings = world.empty() ? checker::check_files(files)
                                        : checker::check_world(world, checker::Naming::paths);
    for (const checker::Finding& finding : findings)
        std::printf("%s\n", checker::format_finding(finding).c_str());

    const size_t errors = checker::count(findings, checker::Severity::error);
    const size_t warnings = checker::count(findings, checker::Severity::warning);
    if (errors > 0 || warnings > 0) {
        std::fprintf(stderr, "igmcheck: %zu error%s, %zu warning%s\n", errors,
                     errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
    }
    if (errors > 0) return 2;
    if (werror && warnings > 0) return 1;
    return 0;
}
