#include "command_options.h"

#include <cctype>
#include <utility>

namespace {

bool ParseDelimiter(const std::string& value, char& delimiter) {
    if (value == "tab" || value == "\\t") {
        delimiter = '\t';
        return true;
    }
    // A quote or a line end cannot separate cells: both already mean something.
    if (value.size() != 1 || value[0] == '"' || value[0] == '\r' || value[0] == '\n') return false;
    delimiter = value[0];
    return true;
}

bool ParseEncoding(std::string value, InputEncoding& encoding) {
    for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (value == "ansi") {
        encoding = InputEncoding::Ansi;
    } else if (value == "utf-8" || value == "utf8") {
        encoding = InputEncoding::Utf8;
    } else {
        return false;
    }
    return true;
}

ParsedCommandLine Wrong(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandOptions options;
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // "-" alone is a file name: standard input or output.
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool hasValue = equals != std::string::npos;
        // An option that takes a value has it after "=" or as the next argument.
        const auto value = [&](std::string& into) {
            if (hasValue) {
                into = argument.substr(equals + 1);
                return true;
            }
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        std::string text;
        if (name == "--delimiter" || name == "--encoding") {
            if (!value(text)) return Wrong("option " + name + " needs a value");
            if (name == "--delimiter" && !ParseDelimiter(text, options.conversion.delimiter)) {
                return Wrong(
                    "--delimiter takes one byte other than a quote or a line end, or "
                    "tab: " +
                    text);
            }
            if (name == "--encoding" && !ParseEncoding(text, options.conversion.encoding)) {
                return Wrong("--encoding takes ansi or utf-8: " + text);
            }
            continue;
        }
        if (name == "-h" || name == "--help" || name == "--version") {
            options.action = name == "--version" ? CommandOptions::Action::Version
                                                 : CommandOptions::Action::Help;
            return {options, std::string()};
        }
        bool* flag = nullptr;
        bool rfc4180 = false;
        bool buffered = false;
        if (name == "--buffered") flag = &buffered;
        if (name == "--rfc4180") flag = &rfc4180;
        if (name == "--escape") flag = &options.conversion.escapeHtml;
        if (name == "--header") flag = &options.conversion.headerRow;
        if (name == "--progress") flag = &options.progress;
        if (!flag) return Wrong("unknown option " + name);
        if (hasValue) return Wrong("option " + name + " takes no value");
        *flag = true;
        if (rfc4180) options.conversion.dialect = CsvDialect::Rfc4180;
        if (buffered) options.outputMode = OutputMode::Buffered;
    }
    if (paths.empty()) return Wrong("no INPUT given");
    if (paths.size() > 2) return Wrong("too many file names: " + paths[2]);
    options.inputPath = paths[0];
    if (paths.size() == 2) options.outputPath = paths[1];
    return {options, std::string()};
}

void PrintHelp(std::FILE* out) {
    std::fputs(kUsageLine, out);
    std::fputs(
        "\n"
        "Appends INPUT, comma-separated text, as an HTML table to OUTPUT (default db.csv).\n"
        "INPUT - reads standard input; OUTPUT - writes standard output.\n"
        "Without options the table is exactly the one the Quillbar dialog writes.\n"
        "\n"
        "  --rfc4180       read standard CSV (RFC 4180): a quoted field runs to its closing\n"
        "                  quote, \"\" inside it is one quote, and delimiters and line breaks\n"
        "                  inside it are part of the field\n"
        "  --delimiter=C   separate cells by the byte C instead of a comma; tab (or \\t)\n"
        "                  for a tab\n"
        "  --escape        write & < > \" ' in cell text as &amp; &lt; &gt; &quot; &#39;\n"
        "  --header        write the cells of the first record as <th>, not <td>\n"
        "  --encoding=E    ansi (default): the system's ANSI code page; utf-8: drop a\n"
        "                  byte-order mark at the start, no double-byte lead bytes\n"
        "  --buffered      open OUTPUT once and write it in large blocks, not once per row\n"
        "  --progress      show bytes read, rows, speed and time on standard error\n"
        "  --version       print the version and exit\n"
        "  -h, --help      print this help and exit\n"
        "\n"
        "Exit status: 0 done, 1 failure (reported on standard error), 2 wrong arguments.\n",
        out);
}
