// The script checker: the checks igmcheck runs on the files it is given, and
// on a whole world (every place of the menu, the side trips the places load,
// the news) for `igmcheck --world` and for igmhost's check at start-up.
#pragma once

#include <filesystem>
#include <vector>

#include "checker/finding.h"

namespace checker {

// How findings name a file of a world: by its path ("world/QHYVIGMS/WELL.LOR"),
// or the way the module names it ("QHYVIGMS\WELL.LOR"), as igmhost's log does.
enum class Naming { paths, module };

// Each file on its own; a /LOAD: looks in the folder of the file that runs it.
std::vector<Finding> check_files(const std::vector<std::filesystem::path>& files);

// The world in folder `world`.
std::vector<Finding> check_world(const std::filesystem::path& world, Naming naming);

// How many findings have this severity.
size_t count(const std::vector<Finding>& findings, Severity severity);

}  // namespace checker
