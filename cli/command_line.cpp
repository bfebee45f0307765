#include "command_line.h"

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::string Utf8(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size) - 1);  // the terminating zero
    return text;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, wchar_t* argv[]) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8(argv[i]));
    return arguments;
}

#else

std::vector<std::string> CommandLineArguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

#endif
