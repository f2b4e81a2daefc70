// igmhost: a small multi-user host for in-game modules. main reads the
// command line, enters the world folder, and runs the server (server.h)
// until it stops.
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <string>

#include "server/core/host_core.h"
#include "server/frontend/charset.h"
#include "server/frontend/console.h"
#include "server/frontend/options.h"
#include "server/server.h"
#include "server/signals.h"
#include "server/tools_cli.h"

int main(int argc, char** argv) {
    if (argc > 1 && tools::is_tool_command(argv[1])) return tools::run(argc, argv);
    // The console follows the locale's character set; everything else runs
    // in the C locale, as the modules expect.
    std::setlocale(LC_CTYPE, "");
    frontend::Charset locale_charset = frontend::charset_for_codeset(nl_langinfo(CODESET));
    std::setlocale(LC_ALL, "C");

    frontend::Options options;
    std::string error;
    if (!frontend::parse_options(argc, argv, options, &error)) {
        std::fprintf(stderr, "igmhost: %s\n%s", error.c_str(), frontend::usage());
        return 2;
    }
    if (options.help) {
        std::fputs(frontend::usage(), stdout);
        return 0;
    }
    if (options.console && (!isatty(0) || !isatty(1))) {
        std::fprintf(stderr,
                     "igmhost: --console needs a terminal: standard input and output are not "
                     "both a tty\n");
        return 2;
    }
    options.module = frontend::resolved_module_path(options.module);
    if (!server::enter_world(options.world, &error)) {
        std::fprintf(stderr, "igmhost: %s\n", error.c_str());
        return 2;
    }
    // The console's screen is no place for log lines: with --console and a
    // terminal on stderr they go to a file in the world folder.
    if (options.console && isatty(2)) {
        std::FILE* log_file = std::fopen("IGMHOST.LOG", "a");
        if (log_file != nullptr) {
            std::fprintf(stderr, "igmhost: log lines go to %s/IGMHOST.LOG\n",
                         options.world.c_str());
            host::set_log_sink([log_file](std::string_view line) {
                std::fwrite(line.data(), 1, line.size(), log_file);
                if (line.empty() || line.back() != '\n') std::fputc('\n', log_file);
                std::fflush(log_file);
            });
        }
    }

    std::unique_ptr<server::Server> server = server::Server::make(options, &error);
    if (!server) {
        std::fprintf(stderr, "igmhost: %s\n", error.c_str());
        return 1;
    }
    server::catch_signals(server->wake_fd());

    host::log("igmhost starting: world %s, module %s", options.world.c_str(),
              options.module.c_str());
    frontend::Charset console_charset = options.charset.value_or(locale_charset);
    if (!server->start(console_charset)) {
        frontend::restore_console();
        return 1;
    }
    server->run();
    server->shut_down();
    return 0;
}
