// quillbar-convert [OPTION]... INPUT [OUTPUT]: appends INPUT as an HTML
// table to OUTPUT ("db.csv" when OUTPUT is absent or empty); see --help.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "buffered_output.h"
#include "command_line.h"
#include "command_options.h"
#include "console_host.h"
#include "conversion_run.h"
#include "platform_file.h"
#include "progress_meter.h"
#include "text_mode.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr char kStandardStream[] = "-";

int Convert(const CommandOptions& command) {
    ConsoleHost host(command.inputPath, command.outputPath, stderr);
    std::optional<ProgressMeter> progress;
    if (command.progress) {
        progress.emplace(stderr);
        host.BeforeEachMessage([&progress] { progress->Finish(); });
    }
    const auto openInput = [&progress](const std::string& path) {
        std::unique_ptr<InputFile> input =
            path == kStandardStream ? OpenStandardInput() : OpenInputFile(path);
        if (input && progress) input = progress->Watch(std::move(input));
        return input;
    };
    const bool toStandardOutput = command.outputPath == kStandardStream;
    const auto openOutput = [&](ConversionHost& owner) {
        std::unique_ptr<TableOutput> output;
        if (toStandardOutput) {
            // Opened once; unless buffered, every piece goes out as soon as
            // it is made, as a row reaches a file.
            const std::size_t block =
                command.outputMode == OutputMode::Buffered ? BufferedOutput::kDefaultBlockSize : 1;
            output = std::make_unique<BufferedOutput>(
                owner, block, [](const std::string&) { return OpenStandardOutput(); });
        } else {
            output = OpenTableOutput(owner, command.outputMode);
        }
        if (progress) output = progress->Watch(std::move(output));
        return output;
    };
    const OutputIdentifier identifyOutput =
        toStandardOutput
            ? OutputIdentifier([](const std::string&) { return IdentifyStandardOutput(); })
            : OutputIdentifier(IdentifyFile);
    const bool done = RunConversion(host, command.conversion, openInput, openOutput,
                                    TextLineReader::kDefaultBlockSize, identifyOutput);
    if (progress) progress->Finish();
    return done ? kExitDone : kExitFailed;
}

// Everything from the arguments to the exit status; main only keeps
// exceptions from leaving the program.
int Run(const std::vector<std::string>& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "quillbar-convert: %s\n%s\n", parsed.error.c_str(), kUsageLine);
        return kExitUsage;
    }
    switch (parsed.options->action) {
    case CommandOptions::Action::Help:
        PrintHelp(stdout);
        return kExitDone;
    case CommandOptions::Action::Version:
        std::fputs("quillbar-convert " QUILLBAR_VERSION "\n", stdout);
        return kExitDone;
    case CommandOptions::Action::Convert:
        break;
    }
    return Convert(*parsed.options);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t* argv[]) {
#else
int main(int argc, char* argv[]) {
#endif
    HoldStandardStreamsPlaces();
    try {
        return Run(CommandLineArguments(argc, argv));
    } catch (const std::exception& error) {
        // A run reports a line too long for memory itself; this is for
        // anything else that runs out, such as an argument list.
        std::fprintf(stderr, "quillbar-convert: %s\n", error.what());
        return kExitFailed;
    }
}
