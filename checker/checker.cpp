// Runs the checks over files or a world: reads each script once, decides
// what it is to the world (a place of the menu, a side trip, the news), and
// orders the findings by file and line, each with its notes after it.
#include "checker/checker.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "checker/checks.h"
#include "checker/language.h"
#include "checker/script.h"

namespace checker {
namespace {

constexpr std::string_view kScriptFolder = "QHYVIGMS";
constexpr std::string_view kNewsScript = "ZMB_VORN.NEW";

// A name in `folder` the way the module's path layer finds it: exactly, or
// else the first entry in byte order that matches ignoring case.
fs::path find_ignoring_case(const fs::path& folder, std::string_view name) {
    const fs::path exact = folder / std::string(name);
    std::error_code ignored;
    if (fs::exists(exact, ignored)) return exact;
    std::string best;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string candidate = entry.path().filename().string();
        if (upper_case(candidate) == upper_case(name) && (best.empty() || candidate < best))
            best = candidate;
    }
    return best.empty() ? exact : folder / best;
}

bool is_menu_entry(const Script& script) {
    const auto lines = menu_header_lines(script.bytes);
    const std::string name = script.path.filename().string();
    const bool lor = name.size() > 4 && upper_case(name.substr(name.size() - 4)) == ".LOR";
    return lor && starts_with_ignoring_case(lines[0], language::kMenuPrefix) && !lines[1].empty() &&
           !strip_controls(lines[2]).empty();
}

class Checker {
  public:
    explicit Checker(Naming naming) : naming_(naming) {}

    Script& read(const fs::path& path, Role role) {
        const std::string key = path.lexically_normal().string();
        auto found = scripts_.find(key);
        if (found != scripts_.end()) return *found->second;
        fs::path folder = path.parent_path();
        if (role == Role::news)
            folder =
                script_folder_.empty() ? find_ignoring_case(folder, kScriptFolder) : script_folder_;
        auto script = std::make_unique<Script>(Script::read(path, name_of(path), folder, role));
        order_.push_back(script.get());
        return *scripts_.emplace(key, std::move(script)).first->second;
    }

    ScriptLookup lookup() {
        return [this](const Script& from, std::string_view name) -> const Script* {
            std::string unix_name(name);
            std::replace(unix_name.begin(), unix_name.end(), '\\', '/');
            if (unix_name.empty()) return nullptr;
            const fs::path path = find_ignoring_case(from.folder, unix_name);
            Script& script = read(path, Role::side_trip);
            return &script;
        };
    }

    void check(const Script& script) {
        if (!script.readable) {
            report_.add_file(script, Severity::error,
                             "cannot read the file" +
                                 std::string(fs::exists(script.path) ? "" : ": it does not exist"));
            return;
        }
        check_header(script, report_);
        if (script.role == Role::place) check_menu_lines(script, report_);
        check_lines(script, report_);
        check_targets(script, report_);
        check_loads(script, lookup(), report_);
        check_paths(script, lookup(), report_);
    }

    Report& report() { return report_; }
    void set_script_folder(fs::path folder) { script_folder_ = std::move(folder); }

    std::vector<Finding> sorted() {
        // Units of a finding and the notes after it, ordered by file and line.
        std::map<std::string, size_t> file_rank;
        for (const Script* script : order_)
            file_rank.emplace(script->name, file_rank.size());
        std::vector<std::vector<Finding>> units;
        for (Finding& finding : report_.take()) {
            if (finding.severity == Severity::note && !units.empty())
                units.back().push_back(std::move(finding));
            else
                units.push_back({std::move(finding)});
        }
        std::stable_sort(units.begin(), units.end(), [&](const auto& a, const auto& b) {
            const auto rank = [&](const Finding& f) {
                const auto r = file_rank.find(f.file);
                return std::make_tuple(r == file_rank.end() ? file_rank.size() : r->second, f.line,
                                       f.column);
            };
            return rank(a.front()) < rank(b.front());
        });
        std::vector<Finding> out;
        for (auto& unit : units)
            for (Finding& f : unit)
                out.push_back(std::move(f));
        return out;
    }

  private:
    std::string name_of(const fs::path& path) const {
        if (naming_ == Naming::paths) return path.string();
        const std::string file = path.filename().string();
        if (path.parent_path() == script_folder_) return std::string(kScriptFolder) + "\\" + file;
        return file;
    }

    Naming naming_;
    fs::path script_folder_;
    Report report_;
    std::map<std::string, std::unique_ptr<Script>> scripts_;
    std::vector<const Script*> order_;
};

// What the names /LOAD: lines of a script give, for finding the side trips.
std::vector<std::string> loaded_names(const Script& script) {
    std::vector<std::string> names;
    for (size_t i = 1; i < script.lines.size(); ++i) {
        const Line& line = script.lines[i];
        if (line.is_command() && line.command() == Command::kLoad)
            names.push_back(upper_case(strip_controls(slice(line.text, 6, 17))));
    }
    return names;
}

}  // namespace

std::vector<Finding> check_files(const std::vector<fs::path>& files) {
    Checker checker(Naming::paths);
    std::vector<Script*> scripts;
    for (const fs::path& path : files) {
        const bool news = upper_case(path.filename().string()) == kNewsScript;
        Script& script = checker.read(path, news ? Role::news : Role::place);
        if (!news && !is_menu_entry(script)) script.role = Role::side_trip;
        scripts.push_back(&script);
    }
    for (const Script* script : scripts)
        checker.check(*script);
    return checker.sorted();
}

std::vector<Finding> check_world(const fs::path& world, Naming naming) {
    Checker checker(naming);
    const fs::path folder = find_ignoring_case(world, kScriptFolder);
    checker.set_script_folder(folder);
    std::error_code error;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    std::vector<Script*> scripts;
    std::set<std::string> loaded;
    for (const fs::path& path : files) {
        Script& script = checker.read(path, Role::place);
        for (const std::string& name : loaded_names(script))
            loaded.insert(name);
        scripts.push_back(&script);
    }
    std::vector<Script*> checked;
    for (Script* script : scripts) {
        const std::string name = upper_case(script->path.filename().string());
        const bool lor = name.size() > 4 && name.substr(name.size() - 4) == ".LOR";
        if (is_menu_entry(*script)) {
            checked.push_back(script);
        } else if (loaded.count(name) != 0) {
            script->role = Role::side_trip;
            checked.push_back(script);
        } else if (lor) {
            script->role = Role::side_trip;
            checker.report().add_file(*script, Severity::warning,
                                      "no player can reach this script: the menu does not list "
                                      "it (lines 2 and 3 must hold its title and file name) and "
                                      "no script loads it");
            checked.push_back(script);
        }
    }
    const fs::path news_path = find_ignoring_case(world, kNewsScript);
    Script& news = checker.read(news_path, Role::news);
    if (!news.readable) {
        checker.report().add_file(news, Severity::warning,
                                  "there is no news script: the news command shows the player "
                                  "'could not be found'");
    } else {
        checked.push_back(&news);
    }
    if (error) {
        Script& none = checker.read(folder, Role::place);
        checker.report().add_file(none, Severity::warning,
                                  "there is no script folder: the menu offers no place");
    }
    for (const Script* script : checked)
        checker.check(*script);
    return checker.sorted();
}

size_t count(const std::vector<Finding>& findings, Severity severity) {
    return static_cast<size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const Finding& f) { return f.severity == severity; }));
}

}  // namespace checker
