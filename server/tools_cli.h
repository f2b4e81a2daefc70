// igmhost's command-line tools for the sysop: `igmhost accounts ...` and
// `igmhost backup DIR`. They work on a world's database while igmhost
// serves it, each change one short transaction.
#pragma once

#include <string_view>

namespace tools {

// `word` (argv[1]) names a tool rather than an option of the server.
bool is_tool_command(std::string_view word);
// Runs the tool; the exit status: 0 done, 1 failed, 2 bad command line or world.
int run(int argc, char** argv);

}  // namespace tools
