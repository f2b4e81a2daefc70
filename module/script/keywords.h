// The script language's words and marks as plain constants: the ordered
// keyword table, the end markers that close a block, and the bar and colour
// code characters. No host calls, so a test or a checker can include it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zmb::script {

inline constexpr std::string_view kScriptHeader = "Vorn IGM Script: ";  // line 1 of a script
inline constexpr char kCommandMark = '/';  // only a line that starts with it is a command
inline constexpr char kCommentMark = ';';  // a line that starts with it shows nothing

// What a keyword runs; the interpreter has one handler for each.
enum class Command : uint8_t {
    kWait,
    kStrip,
    kUcase,
    kLcase,
    kMcase,
    kOcase,
    kAlltrim,
    kInside,
    kSameto,
    kSamend,
    kNeeds,
    kClear,
    kReturn,
    kLoop,
    kLoad,
    kUnload,
    kGosub,
    kLabel,
    kGoto,
    kRand,
    kCharm,
    kMoney,
    kExper,
    kHealhits,
    kFights,
    kGivehorse,
    kRemovehorse,
    kGivegems,
    kRemovefight,
    kRemovegem,
    kChoice,
    kHasfights,
    kPause,
    kHalt,
    kAbort,
    kAnyquit,
    kKnight,
    kThief,
    kMystic,
    kMale,
    kFemale,
    kAdult,
    kHascharm,
    kHashorse,
    kHasgems,
    kLevel,
    kVal,
    kIfval,
    kInput,
    kCopy,
    kString,
    kMid,
    kSameas,
    kEnd,
};

struct Keyword {
    std::string_view text;  // compared as a prefix of the line, ignoring case
    Command command;
};

// Keywords are matched in this order; the first match handles the line. The
// ORDER IS BEHAVIOUR: "/RAND" takes "/RANDOM:" and "/RAND:", "/PAUSE" takes
// "/PAUSE:", and "/END" must stay last so that it takes only what no keyword
// above took. A keyword followed by more letters still matches (/LOOPING
// runs /LOOP).
inline constexpr std::array<Keyword, 54> kKeywords{{
    {"/WAIT:", Command::kWait},
    {"/STRIP", Command::kStrip},
    {"/UCASE", Command::kUcase},
    {"/LCASE", Command::kLcase},
    {"/MCASE", Command::kMcase},
    {"/OCASE", Command::kOcase},
    {"/ALLTRIM", Command::kAlltrim},
    {"/INSIDE", Command::kInside},
    {"/SAMETO", Command::kSameto},
    {"/SAMEND", Command::kSamend},
    {"/NEEDS:", Command::kNeeds},
    {"/CLEAR", Command::kClear},
    {"/RETURN", Command::kReturn},
    {"/LOOP", Command::kLoop},
    {"/LOAD:", Command::kLoad},
    {"/UNLOAD", Command::kUnload},
    {"/GOSUB:", Command::kGosub},
    {"/LABEL", Command::kLabel},
    {"/GOTO:", Command::kGoto},
    {"/RAND", Command::kRand},
    {"/CHARM:", Command::kCharm},
    {"/MONEY:", Command::kMoney},
    {"/EXPER:", Command::kExper},
    {"/HEALHITS", Command::kHealhits},
    {"/FIGHTS:", Command::kFights},
    {"/GIVEHORSE", Command::kGivehorse},
    {"/REMOVEHORSE", Command::kRemovehorse},
    {"/GIVEGEMS:", Command::kGivegems},
    {"/REMOVEFIGHT", Command::kRemovefight},
    {"/REMOVEGEM", Command::kRemovegem},
    {"/CHOICE:", Command::kChoice},
    {"/HASFIGHTS:", Command::kHasfights},
    {"/PAUSE", Command::kPause},
    {"/HALT", Command::kHalt},
    {"/ABORT", Command::kAbort},
    {"/ANYQUIT", Command::kAnyquit},
    {"/KNIGHT", Command::kKnight},
    {"/THIEF", Command::kThief},
    {"/MYSTIC", Command::kMystic},
    {"/MALE", Command::kMale},
    {"/FEMALE", Command::kFemale},
    {"/ADULT", Command::kAdult},
    {"/HASCHARM:", Command::kHascharm},
    {"/HASHORSE:", Command::kHashorse},
    {"/HASGEMS:", Command::kHasgems},
    {"/LEVEL:", Command::kLevel},
    {"/VAL", Command::kVal},
    {"/IFVAL", Command::kIfval},
    {"/INPUT", Command::kInput},
    {"/COPY", Command::kCopy},
    {"/STRING", Command::kString},
    {"/MID", Command::kMid},
    {"/SAMEAS", Command::kSameas},
    {"/END", Command::kEnd},
}};

constexpr bool table_follows_enum() {
    for (size_t row = 0; row < kKeywords.size(); ++row)
        if (static_cast<size_t>(kKeywords[row].command) != row) return false;
    return true;
}
static_assert(table_follows_enum(), "a Command names the row of its keyword");

// The colon forms told apart inside one keyword's handler, and where their
// text starts.
inline constexpr std::string_view kPauseText = "/PAUSE:";      // text from 7
inline constexpr std::string_view kAbortText = "/ABORT:";      // text from 7
inline constexpr std::string_view kAnyquitText = "/ANYQUIT:";  // text from 9
inline constexpr std::string_view kInputText = "/INPUT:";      // prompt 7..31
inline constexpr std::string_view kRandomChoice = "/RANDOM:";  // count 8..11
inline constexpr std::string_view kRandomNumber = "/RAND:";    // count 6..15

// The line a failed test skips to. Where the marker takes a suffix, the
// block's register character (or the number drawn or chosen) follows it:
// "/ENDVAL3", "/ENDSTRING2"; the numbered ones put the number in front:
// "/2RANDOM", "/3CHOICE".
namespace end_marker {
inline constexpr std::string_view kNeeds = "/ENDNEED";       // /NEEDS:
inline constexpr std::string_view kValue = "/ENDVAL";        // /IFVALr, + r
inline constexpr std::string_view kSameas = "/ENDSTRING";    // /SAMEASr, + r
inline constexpr std::string_view kSamend = "/ENDSAMEND";    // /SAMENDr, + r
inline constexpr std::string_view kSameto = "/ENDSAMETO";    // /SAMETOr, + r
inline constexpr std::string_view kInside = "/ENDINSIDE";    // /INSIDEr, + r
inline constexpr std::string_view kFights = "/ENDFIGHTS";    // /HASFIGHTS:
inline constexpr std::string_view kClass = "/ENDCLASS";      // /KNIGHT, /THIEF, /MYSTIC
inline constexpr std::string_view kSex = "/ENDSEX";          // /MALE, /FEMALE
inline constexpr std::string_view kAdult = "/ENDADULT";      // /ADULT
inline constexpr std::string_view kCharm = "/ENDCHARM";      // /HASCHARM:
inline constexpr std::string_view kHorse = "/ENDHORSE";      // /HASHORSE:
inline constexpr std::string_view kGems = "/ENDGEMS";        // /HASGEMS:
inline constexpr std::string_view kLevel = "/ENDLEVEL";      // /LEVEL:
inline constexpr std::string_view kRandomSuffix = "RANDOM";  // /RANDOM:n, "/" k "RANDOM"
inline constexpr std::string_view kChoiceSuffix = "CHOICE";  // /CHOICE:n, "/" k "CHOICE"
}  // namespace end_marker

// Bar codes: the bar and one code character (either letter case) become a
// live value; any other character after a bar stands for nothing.
inline constexpr char kBar = '|';
inline constexpr std::string_view kBarCodes = "ABCDEFGHIJKLMNOPQRTUVWXYZ!@#$%^&*(";

// Colour codes: a backquote and one code character. A foreground code's
// place in kForegroundCodes is its palette colour ('^' is a second 15); a
// background code's place in kBackgroundCodes is its colour, in either case.
inline constexpr char kColourMark = '`';
inline constexpr std::string_view kForegroundCodes = "}1234567890!@#$%";
inline constexpr char kSecondWhite = '^';
inline constexpr char kRandomForeground = '&';
inline constexpr std::string_view kBackgroundCodes = "HABCDEFG";
inline constexpr char kRandomBackground = 'I';
inline constexpr char kReset = '(';
inline constexpr char kBlinkToggle = '`';

constexpr char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr bool is_substitution_code(char c) {
    return kBarCodes.find(upper(c)) != std::string_view::npos;
}
constexpr bool is_colour_code(char c) {
    return kForegroundCodes.find(c) != std::string_view::npos || c == kSecondWhite ||
           c == kRandomForeground || kBackgroundCodes.find(upper(c)) != std::string_view::npos ||
           upper(c) == kRandomBackground || c == kReset || c == kBlinkToggle;
}

}  // namespace zmb::script
