// The script language in one place: the ordered keyword table, the end
// markers, and the colour and substitution code characters. Plain constexpr
// data with no host calls, so that the interpreter and the script checker
// (igmcheck, igmhost's start-up check) read the very same table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zmb::keywords {

// One command of the interpreter's table. The enumerators follow the table's
// order, so a Command is also the row of its keyword.
enum class Command : uint8_t {
    wait,
    strip,
    ucase,
    lcase,
    mcase,
    ocase,
    alltrim,
    inside,
    sameto,
    samend,
    needs,
    clear,
    return_,
    loop,
    load,
    unload,
    gosub,
    label,
    goto_,
    rand,
    charm,
    money,
    exper,
    healhits,
    fights,
    givehorse,
    removehorse,
    givegems,
    removefight,
    removegem,
    choice,
    hasfights,
    pause,
    halt,
    abort,
    anyquit,
    knight,
    thief,
    mystic,
    male,
    female,
    adult,
    hascharm,
    hashorse,
    hasgems,
    level,
    val,
    ifval,
    input,
    copy,
    string,
    mid,
    sameas,
    end,
};

struct Keyword {
    std::string_view text;  // matched as a prefix of the line, ignoring case
    Command command;
};

// Keywords are matched with sameto, a prefix test that ignores case, in
// this order; the first match handles the line. The ORDER IS BEHAVIOUR:
// "/RAND" takes "/RANDOM:" and "/RAND:", "/PAUSE" takes "/PAUSE:", and
// "/END" must stay last so that it takes only what no keyword above took.
// A keyword followed by more letters still matches (/LOOPING runs /LOOP).
inline constexpr std::array<Keyword, 54> kTable{{
    {"/WAIT:", Command::wait},
    {"/STRIP", Command::strip},
    {"/UCASE", Command::ucase},
    {"/LCASE", Command::lcase},
    {"/MCASE", Command::mcase},
    {"/OCASE", Command::ocase},
    {"/ALLTRIM", Command::alltrim},
    {"/INSIDE", Command::inside},
    {"/SAMETO", Command::sameto},
    {"/SAMEND", Command::samend},
    {"/NEEDS:", Command::needs},
    {"/CLEAR", Command::clear},
    {"/RETURN", Command::return_},
    {"/LOOP", Command::loop},
    {"/LOAD:", Command::load},
    {"/UNLOAD", Command::unload},
    {"/GOSUB:", Command::gosub},
    {"/LABEL", Command::label},
    {"/GOTO:", Command::goto_},
    {"/RAND", Command::rand},
    {"/CHARM:", Command::charm},
    {"/MONEY:", Command::money},
    {"/EXPER:", Command::exper},
    {"/HEALHITS", Command::healhits},
    {"/FIGHTS:", Command::fights},
    {"/GIVEHORSE", Command::givehorse},
    {"/REMOVEHORSE", Command::removehorse},
    {"/GIVEGEMS:", Command::givegems},
    {"/REMOVEFIGHT", Command::removefight},
    {"/REMOVEGEM", Command::removegem},
    {"/CHOICE:", Command::choice},
    {"/HASFIGHTS:", Command::hasfights},
    {"/PAUSE", Command::pause},
    {"/HALT", Command::halt},
    {"/ABORT", Command::abort},
    {"/ANYQUIT", Command::anyquit},
    {"/KNIGHT", Command::knight},
    {"/THIEF", Command::thief},
    {"/MYSTIC", Command::mystic},
    {"/MALE", Command::male},
    {"/FEMALE", Command::female},
    {"/ADULT", Command::adult},
    {"/HASCHARM:", Command::hascharm},
    {"/HASHORSE:", Command::hashorse},
    {"/HASGEMS:", Command::hasgems},
    {"/LEVEL:", Command::level},
    {"/VAL", Command::val},
    {"/IFVAL", Command::ifval},
    {"/INPUT", Command::input},
    {"/COPY", Command::copy},
    {"/STRING", Command::string},
    {"/MID", Command::mid},
    {"/SAMEAS", Command::sameas},
    {"/END", Command::end},
}};

constexpr bool table_follows_enum() {
    for (size_t row = 0; row < kTable.size(); ++row)
        if (static_cast<size_t>(kTable[row].command) != row) return false;
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

// End markers of the condition blocks. The numbered and lettered ones take
// the number or character that follows in the format.
inline constexpr std::string_view kEndNeed = "/ENDNEED";
inline constexpr std::string_view kEndFights = "/ENDFIGHTS";
inline constexpr std::string_view kEndClass = "/ENDCLASS";
inline constexpr std::string_view kEndSex = "/ENDSEX";
inline constexpr std::string_view kEndAdult = "/ENDADULT";
inline constexpr std::string_view kEndCharm = "/ENDCHARM";
inline constexpr std::string_view kEndHorse = "/ENDHORSE";
inline constexpr std::string_view kEndGems = "/ENDGEMS";
inline constexpr std::string_view kEndLevel = "/ENDLEVEL";
inline constexpr const char* kEndValFormat = "/ENDVAL%d";  // the register number, 0 for none
// The string tests end at their prefix followed by the register character as written.
inline constexpr std::string_view kEndString = "/ENDSTRING";  // /SAMEAS
inline constexpr std::string_view kEndSameto = "/ENDSAMETO";
inline constexpr std::string_view kEndSamend = "/ENDSAMEND";
inline constexpr std::string_view kEndInside = "/ENDINSIDE";
inline constexpr const char* kChoiceMarkerFormat = "/%dCHOICE";  // the answer, 1..9
inline constexpr const char* kRandomMarkerFormat = "/%dRANDOM";  // the alternative drawn

// The interpreter hands these texts to C string functions: each must end in
// the NUL of the literal it was made from.
constexpr bool terminated(std::string_view text) {
    return text.data()[text.size()] == '\0';
}
constexpr bool all_terminated() {
    for (const Keyword& keyword : kTable)
        if (!terminated(keyword.text)) return false;
    for (std::string_view text :
         {kPauseText, kAbortText, kAnyquitText, kInputText, kRandomChoice, kRandomNumber, kEndNeed,
          kEndFights, kEndClass, kEndSex, kEndAdult, kEndCharm, kEndHorse, kEndGems, kEndLevel,
          kEndString, kEndSameto, kEndSamend, kEndInside})
        if (!terminated(text)) return false;
    return true;
}
static_assert(all_terminated());

// Text substitution: a bar and one code character (letters in either case).
inline constexpr char kSubstitutionIntroducer = '|';
inline constexpr std::string_view kSubstitutionCodes = "ABCDEFGHIJKLMNOPQRTUVWXYZ!@#$%^&*(";

// Colour codes: a backquote and one code character.
inline constexpr char kColourIntroducer = '`';
// Foregrounds in palette order 0..15; "%" and "^" are both white.
inline constexpr std::string_view kForegroundCodes = "}1234567890!@#$%";
inline constexpr char kSecondWhite = '^';
inline constexpr char kRandomForeground = '&';
// Backgrounds 1..7, then 0, either letter case; "I" picks one at random.
inline constexpr std::string_view kBackgroundCodes = "ABCDEFGH";
inline constexpr char kRandomBackground = 'I';
inline constexpr char kResetCode = '(';
inline constexpr char kBlinkToggle = '`';

constexpr char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool is_substitution_code(char c) {
    return kSubstitutionCodes.find(upper(c)) != std::string_view::npos;
}

constexpr bool is_colour_code(char c) {
    return kForegroundCodes.find(c) != std::string_view::npos || c == kSecondWhite ||
           c == kRandomForeground || kBackgroundCodes.find(upper(c)) != std::string_view::npos ||
           upper(c) == kRandomBackground || c == kResetCode || c == kBlinkToggle;
}

}  // namespace zmb::keywords
