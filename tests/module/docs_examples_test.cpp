// The examples of docs/SCRIPTING.md, run as the manual promises: each
// ```script block is checked with the script checker (no errors) and run
// through the real module, and what the player sees must be the ```screen
// block that follows it. An HTML comment before a script sets the player
// ("<!-- player: level=5 gems=3 -->"; level 1, charm 5, gold 100 by
// default) and what the player types ("<!-- answers: 2 | hello -->").
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "tests/support/session.h"

namespace {

using namespace test;

struct Example {
    int line = 0;  // of the script block in the manual
    std::string script;
    std::string screen;
    PlayerBytes player = PlayerBytes().name("Ardo").gold(100).charm(5);
    std::vector<std::string> answers;
};

// "2 | hello" -> {"2", "hello"}: each part without the blanks around it.
std::vector<std::string> answers(const std::string& s) {
    std::vector<std::string> out;
    std::stringstream in(s);
    for (std::string part; std::getline(in, part, '|');) {
        const size_t a = part.find_first_not_of(' ');
        out.push_back(a == std::string::npos ? ""
                                             : part.substr(a, part.find_last_not_of(' ') - a + 1));
    }
    return out;
}

std::vector<Example> read_examples() {
    std::ifstream in(std::string(ZMB_SOURCE_DIR) + "/docs/SCRIPTING.md");
    std::vector<Example> examples;
    Example next;
    std::string* block = nullptr;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (block != nullptr) {
            if (line == "```") {
                if (block == &next.screen) {
                    examples.push_back(next);
                    next = Example{};
                }
                block = nullptr;
            } else {
                *block += line + "\n";
            }
        } else if (line == "```script") {
            block = &next.script;
            next.line = number;
        } else if (line == "```screen") {
            block = &next.screen;
        } else if (line.rfind("<!-- player:", 0) == 0) {
            using Set = PlayerBytes& (PlayerBytes::*)(int16_t);
            const std::map<std::string, Set> fields = {{"level", &PlayerBytes::level},
                                                       {"gems", &PlayerBytes::gems},
                                                       {"charm", &PlayerBytes::charm},
                                                       {"horse", &PlayerBytes::horse}};
            std::istringstream settings(line.substr(12, line.size() - 16));
            for (std::string setting; settings >> setting;) {
                const size_t eq = setting.find('=');
                const auto field = fields.find(setting.substr(0, eq));
                if (eq == std::string::npos || field == fields.end())
                    ADD_FAILURE() << "line " << number << ": no player field " << setting;
                else
                    (next.player.*
                     field->second)(static_cast<int16_t>(std::stoi(setting.substr(eq + 1))));
            }
        } else if (line.rfind("<!-- answers:", 0) == 0) {
            next.answers = answers(line.substr(13, line.size() - 17));
        }
    }
    return examples;
}

// What the player reads: the pause prompt's erase sequence taken out, ANSI
// removed, the PC square as it looks, blanks at line ends dropped.
std::string readable(std::string raw) {
    const std::string erase = "\x1b[A" + std::string(73, ' ') + "\n\x1b[A";
    for (size_t at; (at = raw.find(erase)) != std::string::npos;)
        raw.erase(at, erase.size());
    std::string text = strip_ansi(raw);
    std::string out;
    for (char c : text) {
        if (c == '\r') continue;
        if (static_cast<unsigned char>(c) == 0xFE)
            out += "\xE2\x96\xA0";  // the small filled square of the PC character set
        else
            out += c;
    }
    // The last line, when unfinished, is a prompt: its blanks stay for the echo.
    const size_t last_end = out.rfind('\n');
    const std::string finished = last_end == std::string::npos ? "" : out.substr(0, last_end + 1);
    std::string trimmed;
    std::stringstream lines(finished);
    for (std::string line; std::getline(lines, line);) {
        const size_t end = line.find_last_not_of(' ');
        trimmed += (end == std::string::npos ? "" : line.substr(0, end + 1)) + "\n";
    }
    return trimmed + out.substr(last_end == std::string::npos ? 0 : last_end + 1);
}

// A place is kept under the name on its line 3; a fragment without lines 2
// and 3 as EXAMPLE.TXT, a side trip the menu does not list.
std::string file_name(const Example& example) {
    std::stringstream lines(example.script);
    std::string line;
    for (int n = 0; n < 3 && std::getline(lines, line); ++n) {
    }
    const bool place =
        line.size() > 4 && line.size() <= 12 && line.compare(line.size() - 4, 4, ".LOR") == 0;
    return place ? line : "EXAMPLE.TXT";
}

// Checks the example with the script checker (no errors), then runs it.
std::string run(const Example& example) {
    World world;
    world.write("QHYVIGMS/" + file_name(example), example.script);
    for (const auto& f : checker::check_files({world.dir() + "/QHYVIGMS/" + file_name(example)}))
        EXPECT_NE(f.severity, checker::Severity::error) << checker::format_finding(f);
    Host host(world);
    Player& p = host.player(1);
    p.set_record(example.player);
    p.set(zmb::state::player_name, "Ardo");
    p.set_age(30);
    p.run_script("QHYVIGMS\\" + file_name(example));
    host.pump();
    std::string transcript;
    // What reaches the screen; a clear-screen wipes what stood there before.
    const auto show = [&](std::string raw) {
        const size_t clear = raw.rfind("\x1b[2J");
        if (clear != std::string::npos) {
            transcript.clear();
            raw.erase(0, clear + 4);
        }
        transcript += readable(raw);
    };
    show(p.take());
    for (const std::string& answer : example.answers) {
        transcript += answer + "\n";  // the terminal's echo
        p.type(answer);
        host.pump();
        show(p.take());
    }
    return transcript;
}

TEST(ScriptingManual, EveryExampleChecksCleanAndShowsWhatTheManualShows) {
    const std::vector<Example> examples = read_examples();
    ASSERT_GE(examples.size(), 5u) << "the manual's examples were not found";
    for (const Example& example : examples) {
        SCOPED_TRACE("docs/SCRIPTING.md:" + std::to_string(example.line));
        // The blank after the last prompt is no part of the comparison.
        const auto end_trimmed = [](std::string s) {
            while (!s.empty() && (s.back() == ' ' || s.back() == '\n'))
                s.pop_back();
            return s;
        };
        const std::string shown = run(example);
        EXPECT_EQ(end_trimmed(shown), end_trimmed(example.screen)) << "what the module showed:\n"
                                                                   << shown;
    }
}

}  // namespace
