// quillbar-convert [--buffered] INPUT [OUTPUT]: appends INPUT as an HTML
// table to OUTPUT ("db.csv" when OUTPUT is absent or empty).
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "console_host.h"
#include "conversion_run.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "usage: quillbar-convert [--buffered] [--] INPUT [OUTPUT]\n"
           "Appends INPUT, comma-separated text, as an HTML table to OUTPUT (default db.csv).\n"
           "  --buffered  open OUTPUT once and write it in large blocks, not once per row\n";
}

// The whole run; main only keeps exceptions from leaving the program.
int Convert(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    OutputMode mode = OutputMode::AppendEachPiece;
    bool optionsEnded = false;
    for (const std::string& arg : arguments) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            PrintUsage(std::cout);
            return kExitDone;
        } else if (!optionsEnded && arg == "--buffered") {
            mode = OutputMode::Buffered;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "quillbar-convert: unknown option " << arg << '\n';
            PrintUsage(std::cerr);
            return kExitUsage;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty() || paths.size() > 2) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }

    ConsoleHost host(paths[0], paths.size() == 2 ? paths[1] : std::string(), std::cerr);
    return RunConversion(host, mode) ? kExitDone : kExitFailed;
}

}  // namespace

int main(int argc, char* argv[]) {
    try {
        const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
        return Convert(arguments);
    } catch (const std::exception& error) {
        // A run reports a line too long for memory itself; this is for
        // anything else that runs out, such as an argument list.
        std::cerr << "quillbar-convert: " << error.what() << std::endl;
        return kExitFailed;
    }
}
