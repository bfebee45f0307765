// quillbar-convert [--buffered] INPUT [OUTPUT]: appends INPUT as an HTML
// table to OUTPUT ("db.csv" when OUTPUT is absent or empty).
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> paths;
    OutputMode mode = OutputMode::AppendEachPiece;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)) {
            PrintUsage(std::cout);
            return kExitDone;
        } else if (!optionsEnded && std::strcmp(arg, "--buffered") == 0) {
            mode = OutputMode::Buffered;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            std::cerr << "quillbar-convert: unknown option " << arg << '\n';
            PrintUsage(std::cerr);
            return kExitUsage;
        } else {
            paths.emplace_back(arg);
        }
    }
    if (paths.empty() || paths.size() > 2) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }

    ConsoleHost host(paths[0], paths.size() == 2 ? paths[1] : std::string(), std::cerr);
    return RunConversion(host, mode) ? kExitDone : kExitFailed;
}
