// String registers STRING1..STRING6: /STRING, /COPY, /MID, /SAMEAS and the
// reshaping and test commands that are also exported (host_interface.h).
#pragma once

#include <cstdint>

namespace zmb {

void dostring(const char* line);
void docopy(const char* line);
void domid(const char* line);
int16_t string_sameas(const char* line);

}  // namespace zmb
