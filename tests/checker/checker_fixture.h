// A scratch folder for checker tests: scripts written into a script folder
// of their own under TMPDIR, checked, and their findings in the one text form.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "checker/checker.h"

namespace checker_test {

namespace fs = std::filesystem;

class Folder {
  public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "igmcheck-test-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        fs::create_directories(scripts());
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    fs::path root() const { return root_; }
    fs::path scripts() const { return root_ / "QHYVIGMS"; }

    fs::path write(const fs::path& relative, std::string_view bytes) const {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

  private:
    fs::path root_;
};

// The findings as "LINE:COLUMN: severity: message", without the file name.
inline std::vector<std::string> without_file(const std::vector<checker::Finding>& findings) {
    std::vector<std::string> out;
    for (const checker::Finding& f : findings) {
        checker::Finding copy = f;
        copy.file.clear();
        std::string text = checker::format_finding(copy);
        out.push_back(text.substr(1));  // the ':' after the empty name
    }
    return out;
}

}  // namespace checker_test
