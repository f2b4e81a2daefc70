// Placeholder until its owner lands the real code.
#include "module/script/substitution.h"
namespace zmb {
char* substitute_codes(const char* l) { return const_cast<char*>(l); }
}
