// The options of a lumo command: operands, -o/--output and --format, in the
// usual GNU style (-o OUT, -oOUT, --output OUT, --output=OUT, -- ends options).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumo_cli {

class CUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class EFormat { json, csv };

struct CCommandLine {
    std::vector<std::string> operands;
    std::optional<std::string> output;
    std::optional<EFormat> format;
    bool help = false;
};

enum OptionFlags : unsigned { optNone = 0, optOutput = 1, optFormat = 2 };

// Parses the arguments after the command name. A -h or --help anywhere
// before "--" wins over everything else. Throws CUsageError.
CCommandLine ParseCommandLine(const std::vector<std::string>& args, unsigned allowed);

// "json" or "csv"; throws CUsageError for anything else.
EFormat ParseFormat(const std::string& name);
// The format a file name's extension names (.json, .csv, any case), if any.
std::optional<EFormat> FormatFromExtension(const std::string& path);

}  // namespace lumo_cli
