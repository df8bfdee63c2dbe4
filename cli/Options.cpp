// SPDX-License-Identifier: MIT
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

// The long options that take a value besides --output and --format, and the
// flag that allows each.
struct CValueOption {
    const char* name;
    unsigned flag;
};
constexpr CValueOption kValueOptions[] = {
    {"--source", optSource},         {"--language", optSource},        {"--source-language", optSource},
    {"--template", optTemplate},     {"--untranslated", optTemplate},
};

// The option's name when arg is one of them (--name or --name=VALUE) and allowed.
const char* ValueOption(const std::string& arg, unsigned allowed)
{
    for (const CValueOption& option : kValueOptions) {
        const std::string name = option.name;
        if ((allowed & option.flag) && (arg == name || arg.rfind(name + "=", 0) == 0))
            return option.name;
    }
    return nullptr;
}

std::optional<std::string>* ValueSlot(CCommandLine& cl, std::optional<std::string>& untranslated, const std::string& name)
{
    if (name == "--source")
        return &cl.source;
    if (name == "--language")
        return &cl.language;
    if (name == "--source-language")
        return &cl.sourceLanguage;
    if (name == "--template")
        return &cl.templ;
    return &untranslated;
}

}  // namespace

EFormat ParseFormat(const std::string& name, bool bTranslation)
{
    if (name == "json")
        return EFormat::json;
    if (name == "csv")
        return EFormat::csv;
    if (bTranslation) {
        if (name == "pot")
            return EFormat::pot;
        if (name == "po")
            return EFormat::po;
        if (name == "xliff" || name == "xlf")
            return EFormat::xliff;
        throw CUsageError("unknown format '" + name + "' (use json, csv, pot, po or xliff)");
    }
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
    if (ext == ".pot")
        return EFormat::pot;
    if (ext == ".po")
        return EFormat::po;
    if (ext == ".xlf" || ext == ".xliff")
        return EFormat::xliff;
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

    std::optional<std::string> output, format, untranslated;
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
        } else if (const char* name = ValueOption(arg, allowed)) {
            const std::size_t eq = arg.find('=');
            const std::string value = eq == std::string::npos ? next(name) : arg.substr(eq + 1);
            SetOnce(*ValueSlot(result, untranslated, name), value, name);
        } else {
            throw CUsageError("unknown option '" + arg + "'");
        }
    }
    result.output = std::move(output);
    if (format)
        result.format = ParseFormat(*format, (allowed & optTranslationFormat) != 0);
    if (untranslated) {
        if (*untranslated == "source")
            result.untranslated = EUntranslated::source;
        else if (*untranslated == "empty")
            result.untranslated = EUntranslated::empty;
        else
            throw CUsageError("unknown value '" + *untranslated + "' for --untranslated (use source or empty)");
    }
    return result;
}

}  // namespace lumo_cli
