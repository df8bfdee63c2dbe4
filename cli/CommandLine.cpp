// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include "Text.h"

#include <algorithm>
#include <charconv>

namespace lumo_cli {

namespace {

std::string Replaced(std::string text, const std::map<std::string, std::string>& values)
{
    for (const auto& [key, value] : values)
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    return text;
}

// Checks one value against its option and stores it under the long name.
void Take(CArguments& result, const COption& option, const std::string& shown, const std::string& value)
{
    switch (option.kind) {
    case EOptionKind::flag:
        break;
    case EOptionKind::value:
        if (result.Has(option.name))
            throw CUsageError(shown + " is given more than once");
        if (value.empty())
            throw CUsageError(shown + " needs a non-empty value");
        break;
    case EOptionKind::repeatable:
        if (value.empty())
            throw CUsageError(shown + " needs a non-empty value");
        break;
    case EOptionKind::integer: {
        if (result.Has(option.name))
            throw CUsageError(shown + " is given more than once");
        std::int64_t n = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (value.empty() || ec != std::errc() || end != value.data() + value.size() || n < option.nMin ||
            n > option.nMax) {
            const std::string message = option.badValueMessage.empty()
                                            ? "{option} takes a whole number from {min} to {max}, not '{value}'"
                                            : option.badValueMessage;
            throw CUsageError(Replaced(message, {{"{option}", option.name},
                                                 {"{min}", std::to_string(option.nMin)},
                                                 {"{max}", std::to_string(option.nMax)},
                                                 {"{value}", Shown(value)}}));
        }
        result.Add(option.name, std::to_string(n));
        return;
    }
    case EOptionKind::choice: {
        if (result.Has(option.name))
            throw CUsageError(shown + " is given more than once");
        std::string canonical = value;
        if (const auto alias = option.aliases.find(value); alias != option.aliases.end())
            canonical = alias->second;
        if (std::find(option.choices.begin(), option.choices.end(), canonical) == option.choices.end()) {
            const std::string message = option.badValueMessage.empty()
                                            ? "unknown value '{value}' for {option} (use {choices})"
                                            : option.badValueMessage;
            throw CUsageError(Replaced(message, {{"{option}", option.name},
                                                 {"{choices}", JoinChoices(option.choices)},
                                                 {"{value}", Shown(value)}}));
        }
        result.Add(option.name, canonical);
        return;
    }
    }
    result.Add(option.name, value);
}

}  // namespace

std::optional<std::string> CArguments::Value(const std::string& option) const
{
    const auto it = m_values.find(option);
    if (it == m_values.end() || it->second.empty())
        return std::nullopt;
    return it->second.back();
}

std::vector<std::string> CArguments::Values(const std::string& option) const
{
    const auto it = m_values.find(option);
    return it == m_values.end() ? std::vector<std::string>() : it->second;
}

std::optional<std::int64_t> CArguments::Integer(const std::string& option) const
{
    const std::optional<std::string> value = Value(option);
    if (!value)
        return std::nullopt;
    return std::stoll(*value);
}

std::string JoinChoices(const std::vector<std::string>& choices)
{
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i)
        text += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
    return text;
}

CArguments ParseArguments(const std::vector<std::string>& args, const std::vector<COption>& options)
{
    CArguments result;
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help") {
            result.bHelp = true;
            return result;
        }
    }

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
        const COption* pOption = nullptr;
        std::string shown;                // the option as given, for messages
        std::optional<std::string> glued;  // --name=VALUE, -oVALUE
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            shown = arg.substr(0, eq);
            if (eq != std::string::npos)
                glued = arg.substr(eq + 1);
            for (const COption& option : options)
                if (option.name == shown)
                    pOption = &option;
        } else {
            shown = arg.substr(0, 2);
            if (arg.size() > 2)
                glued = arg.substr(2);
            for (const COption& option : options)
                if (option.shortName != 0 && option.shortName == arg[1])
                    pOption = &option;
            // A short flag takes nothing glued on.
            if (pOption && pOption->kind == EOptionKind::flag && glued)
                pOption = nullptr;
        }
        if (!pOption)
            throw CUsageError("unknown option '" + Shown(arg) + "'");
        if (pOption->kind == EOptionKind::flag) {
            if (glued)
                throw CUsageError(shown + " takes no value");
            Take(result, *pOption, shown, "");
            continue;
        }
        if (!glued) {
            if (i + 1 >= args.size())
                throw CUsageError(shown + " needs a value");
            glued = args[++i];
        }
        Take(result, *pOption, shown, *glued);
    }
    return result;
}

}  // namespace lumo_cli
