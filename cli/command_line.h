// The converter's arguments, without the program's name, as the engine takes
// paths: the system's bytes on POSIX, UTF-8 on Windows.
#pragma once

#include <string>
#include <vector>

// On Windows the program starts at wmain: the narrow argv is in the ANSI code
// page, where characters outside it have become look-alikes or "?".
#ifdef _WIN32
using ArgumentChar = wchar_t;
#else
using ArgumentChar = char;
#endif
std::vector<std::string> CommandLineArguments(int argc, ArgumentChar* argv[]);
