#include "Options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace lumo_cli {

namespace {

bool IsHelp(const std::string& arg)
{
    return arg == "-h" || arg == "--help";
}

void SetOnce(std::optional<std::string>& slot, const std::string& value, const char* option)
{
    if (slot)
        throw CUsageError(std::string(option) + " is given more than once");
    if (value.empty())
        throw CUsageError(std::string(option) + " needs a non-empty value");
    slot = value;
}

}  // namespace

EFormat ParseFormat(const std::string& name)
{
    if (name == "json")
        return EFormat::json;
    if (name == "csv")
        return EFormat::csv;
    throw CUsageError("unknown format '" + name + "' (use json or csv)");
}

std::optional<EFormat> FormatFromExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".json")
        return EFormat::json;
    if (ext == ".csv")
        return EFormat::csv;
    return std::nullopt;
}

CCommandLine ParseCommandLine(const std::vector<std::string>& args, unsigned allowed)
{
    CCommandLine result;
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (IsHelp(arg)) {
            result.help = true;
            return result;
        }
    }

    std::optional<std::string> output, format;
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bOptionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            result.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        // The value of an option: glued on (-oOUT, --output=OUT) or the next argument.
        auto next = [&](const char* option) -> std::string {
            if (i + 1 >= args.size())
                throw CUsageError(std::string(option) + " needs a value");
            return args[++i];
        };
        if ((allowed & optOutput) && arg.rfind("-o", 0) == 0) {
            SetOnce(output, arg.size() > 2 ? arg.substr(2) : next("-o"), "-o");
        } else if ((allowed & optOutput) && arg == "--output") {
            SetOnce(output, next("--output"), "--output");
        } else if ((allowed & optOutput) && arg.rfind("--output=", 0) == 0) {
            SetOnce(output, arg.substr(9), "--output");
        } else if ((allowed & optFormat) && arg == "--format") {
            SetOnce(format, next("--format"), "--format");
        } else if ((allowed & optFormat) && arg.rfind("--format=", 0) == 0) {
            SetOnce(format, arg.substr(9), "--format");
        } else {
            throw CUsageError("unknown option '" + arg + "'");
        }
    }
    result.output = std::move(output);
    if (format)
        result.format = ParseFormat(*format);
    return result;
}

}  // namespace lumo_cli
