// Placeholder until its owner lands the real code.
#include "module/host/paths.h"
namespace zmb {
const char* map_path(const char* d, char*, size_t) { return d; }
std::FILE* open_file(const char* d, const char* m) { return std::fopen(d, m); }
bool file_exists(const char*) { return false; }
int remove_file(const char*) { return 0; }
}
