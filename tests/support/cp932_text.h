// Code page 932 bytes of UTF-8 text, for tests that print to the console
// directly, as the library's own painters do.
#pragma once

#include <string>

std::string cp932(const char *utf8);
