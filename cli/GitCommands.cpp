// SPDX-License-Identifier: MIT
#include "GitCommands.h"

#include "GitSetup.h"
#include "MergeCommand.h"
#include "Options.h"
#include "TextConv.h"

#include <algorithm>

namespace lumo_cli {

namespace {

const CGitCommand kGitCommands[] = {
    {"merge", kMergeHelp, RunMergeCommand},
    {"textconv", kTextConvHelp, RunTextConvCommand},
    {"git-setup", kGitSetupHelp, RunGitSetupCommand},
};

bool Has(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

const CGitCommand* FindGitCommand(std::string_view name)
{
    for (const CGitCommand& command : kGitCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

CParsedArguments ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                                const std::vector<std::string>& flagOptions)
{
    CParsedArguments parsed;
    auto setValue = [&](const std::string& name, const std::string& value) {
        if (!parsed.values.try_emplace(name, value).second)
            throw CUsageError(name + " is given more than once");
        if (value.empty())
            throw CUsageError(name + " needs a non-empty value");
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            parsed.operands.insert(parsed.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                   args.end());
            break;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg.rfind("-o", 0) == 0 && arg.size() > 2 && arg[1] != '-' && Has(valueOptions, "--output")) {
            setValue("--output", arg.substr(2));
            continue;
        }
        const std::string name = arg == "-o" ? "--output" : arg.substr(0, arg.find('='));
        if (Has(valueOptions, name)) {
            if (name.size() < arg.size() && arg != "-o") {
                setValue(name, arg.substr(name.size() + 1));
            } else {
                if (i + 1 >= args.size())
                    throw CUsageError(name + " needs a value");
                setValue(name, args[++i]);
            }
            continue;
        }
        if (Has(flagOptions, arg)) {
            if (parsed.flags[arg])
                throw CUsageError(arg + " is given more than once");
            parsed.flags[arg] = true;
            continue;
        }
        throw CUsageError("unknown option '" + arg + "'");
    }
    return parsed;
}

}  // namespace lumo_cli
