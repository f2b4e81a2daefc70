// The menu of places, written once at start-up from QHYVIGMS\*.lor:
// ZMBVIGMS.DAT lists the script file names in menu order (line n is place
// n) and ZMBVIGMS.TXT is a script that shows them, 9 header lines and then
// pages of 23 lines, each page closed by a "more" pause.
//
// A file is a place when its first three lines are the "Vorn IGM Script"
// header, a title (kept as read, colour codes and line feed included) and
// the script's own file name (control characters removed). Lines are read
// 249 characters at a time; a longer line goes on as the next line.
#include "module/screens/menu_generator.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "include/host_interface.h"
#include "module/host/line_reader.h"
#include "module/host/paths.h"
#include "module/script/run_driver.h"

namespace zmb {
namespace {

constexpr int kLineLimit = 249;
using Line = char[kLineLimit + 1];

constexpr int16_t kHeaderLines = 9;  // screen lines of the menu header
constexpr int16_t kPageBreakAfter = 22;

// "`0", "=-" 39 times (36 in the empty menu), a line feed.
constexpr std::string_view kSeparatorText =
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n";
constexpr std::string_view kShortSeparatorText =
    "`0=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\n";
static_assert(kSeparatorText.size() == 2 + 39 * 2 + 1);
static_assert(kShortSeparatorText.size() == 2 + 36 * 2 + 1);
constexpr const char* kSeparator = kSeparatorText.data();
constexpr const char* kShortSeparator = kShortSeparatorText.data();

constexpr const char* kMenuHeader[] = {
    "Vorn IGM Script: `!Far Reaches\n",
    "/LABEL\n",
    "\x1b[2J`0  F`9ar `0R`9eaches`8... ",
    "`8Version `7|M`8... \n",
    kSeparator,
    "`2  Through distant fields and forests you travel to a great crossroad...\n",
    "`2  It's the gateway to `0Far Reaches`2! You search the signs for new places.\n",
    "`2  For information enter `^I`2. To EXIT enter `^X`2. For STATS enter `^V`2. Good Luck!\n",
    kSeparator,
    "`7       `6You have already used `$|L `6of your `%|R`6 trips into Far Reaches!\n",
    kSeparator,
    "  \n",
};

constexpr const char* kEmptyMenu[] = {
    "Vorn IGM Script: `7Far Reaches\n",
    "/LABEL\n",
    "\x1b[2J`0  F`9ar `0R`9eaches....\n",
    kShortSeparator,
    "`2  Currently Undeveloped Land....\n",
    kShortSeparator,
    "  \n",
    "     `6(`$X`6)`2Return to Other Places\n",
    "  \n",
    "/HALT\n",
};

constexpr const char* kPageBreak =
    "/ANYQUIT:`9Press `3<enter> `9for more options, `3<Q> `9to stop: \n";

template <size_t N>
void write_all(std::FILE* f, const char* const (&lines)[N]) {
    for (const char* line : lines)
        std::fputs(line, f);
}

// The line at `at` of at most 249 characters ("" when the file has no more
// lines); returns where the next one starts (-1 after the end).
long read_line(LineReader& f, long at, Line& line) {
    const long next = f.line_at(at, line, sizeof line);
    if (next < 0) line[0] = '\0';
    return next;
}

void remove_controls(Line& line) {
    size_t kept = 0;
    for (size_t i = 0; line[i] != '\0'; ++i) {
        if (static_cast<unsigned char>(line[i]) >= 32) line[kept++] = line[i];
    }
    line[kept] = '\0';
}

// Reads the three header lines of a place script. False when it is no place.
bool read_place(const char* file_name, Line& title, Line& script_name) {
    char path[32];
    const int n = std::snprintf(path, sizeof path, "QHYVIGMS\\%s", file_name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) return false;
    LineReader f(path);
    if (!f) return false;
    Line header;
    long at = read_line(f, 0, header);
    const bool is_script = sameto("Vorn IGM Script", header) != 0;
    if (is_script) {
        at = read_line(f, at, title);
        read_line(f, at, script_name);
        remove_controls(script_name);
    }
    return is_script && title[0] != '\0' && script_name[0] != '\0';
}

}  // namespace

int16_t build_menu_script() {
    std::FILE* menu = open_file("ZMBVIGMS.TXT", "wt");
    if (menu == nullptr) catastro("%s", "the ZMBVIGMS IGM TEXT file could not initialize!");
    std::FILE* list = open_file("ZMBVIGMS.DAT", "wt");
    if (list == nullptr) catastro("%s", "the ZMBVIGMS IGM DATA file could not initialize!");

    int16_t count = 0;
    int16_t page_lines = 0;
    file_info info{};
    for (int found = fnd1st(&info, "QHYVIGMS\\*.lor", 0); found != 0 && count < INT16_MAX;
         found = fndnxt(&info)) {
        char name[sizeof info.name];
        std::memcpy(name, info.name, sizeof name);
        name[sizeof name - 1] = '\0';
        Line title;
        Line script_name;
        if (!read_place(name, title, script_name)) continue;

        std::fprintf(list, "%s\n", script_name);
        if (count == 0) {
            write_all(menu, kMenuHeader);
            page_lines = kHeaderLines;
        }
        ++count;
        // The menu line is one script line, line feed included: a longer one
        // would be read in pieces, and its tail would run as a line of its
        // own (a command, if it starts with "/"). The title is cut to fit and
        // always ends with the line feed.
        char prefix[32];
        const int prefix_length =
            std::snprintf(prefix, sizeof prefix, "`^    (`7%d`8) `2", static_cast<int>(count));
        size_t title_length = std::strlen(title);
        if (title[title_length - 1] == '\n') --title_length;
        const size_t room = static_cast<size_t>(kScriptLineChars - prefix_length - 1);
        if (title_length > room) title_length = room;
        std::fprintf(menu, "%s%.*s\n", prefix, static_cast<int>(title_length), title);
        if (++page_lines > kPageBreakAfter) {
            std::fputs(kPageBreak, menu);
            page_lines = 0;
        }
    }

    if (count > 0) {
        std::fputs("  \n", menu);
        std::fputs("/HALT\n", menu);
    } else {
        write_all(menu, kEmptyMenu);
    }
    std::fclose(menu);
    std::fclose(list);
    return count;
}

}  // namespace zmb
