// Placeholder until its owner lands the real code.
#include "module/host/host_interface.h"
extern "C" {
char* make_date(void) { return nullptr; }
char* make_time(void) { return nullptr; }
char* alltrim(char* t) { return t; }
char* removecolor(const char* t) { return const_cast<char*>(t); }
char* ucase(const char* t) { return const_cast<char*>(t); }
char* lcase(const char* t) { return const_cast<char*>(t); }
char* ocase(const char* t) { return const_cast<char*>(t); }
char* mcase(const char* t) { return const_cast<char*>(t); }
}
