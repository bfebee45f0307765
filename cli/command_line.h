// The converter's arguments, without the program's name, as the engine takes
// paths: the system's bytes on POSIX, UTF-8 on Windows.
#pragma once

#include <string>
#include <vector>

// On Windows `argv` is not used: its strings are in the ANSI code page, where
// characters outside it have become look-alikes or "?", so the arguments are
// taken from the wide command line instead.
std::vector<std::string> CommandLineArguments(int argc, char* argv[]);
