// SPDX-License-Identifier: MIT
// The one option parser of lumo, driven by each command's option table, in
// the usual GNU style: -o OUT, -oOUT, --output OUT, --output=OUT, and "--"
// ends the options. -h or --help anywhere before "--" wins over the rest.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace lumo_cli {

// A mistake on the command line; the message is said as it is, after
// "lumo COMMAND: ".
class CUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class EOptionKind {
    flag,        // --strict: present or not, no value
    value,       // --output OUT: once at most, not empty
    repeatable,  // --placeholder REGEX: any number of times, each kept in order
    integer,     // --max-length N: a whole number within [nMin, nMax]
    choice,      // --format FMT: one of choices (or an alias of one)
};

struct COption {
    COption(std::string name_, char shortName_ = 0, EOptionKind kind_ = EOptionKind::flag, std::string valueName_ = {},
            std::vector<std::string> choices_ = {})
        : name(std::move(name_)), shortName(shortName_), kind(kind_), valueName(std::move(valueName_)),
          choices(std::move(choices_))
    {
    }

    std::string name;      // the long form, with its dashes: "--output"
    char shortName = 0;    // 'o' for -o, 0 for none
    EOptionKind kind = EOptionKind::flag;
    std::string valueName;  // for help and the man page's test: "OUT"
    // choice: the values shown in messages, and other spellings of them.
    std::vector<std::string> choices;
    std::map<std::string, std::string> aliases;
    // choice: the refusal of another value, with {value} and {choices}
    // replaced; integer: the refusal of a value that is no whole number in
    // range, with {option}, {min} and {max} replaced.
    std::string badValueMessage;
    std::int64_t nMin = 0, nMax = INT64_MAX;
};

// What the parser found: operands in order, and per option (by long name)
// its values in order (a flag has one empty value per use).
class CArguments {
public:
    std::vector<std::string> operands;
    bool bHelp = false;

    bool Has(const std::string& option) const { return m_values.count(option) != 0; }
    // The value of a value, choice or integer option (a choice's canonical name).
    std::optional<std::string> Value(const std::string& option) const;
    // Every value of a repeatable option.
    std::vector<std::string> Values(const std::string& option) const;
    std::optional<std::int64_t> Integer(const std::string& option) const;

    void Add(const std::string& option, std::string value) { m_values[option].push_back(std::move(value)); }

private:
    std::map<std::string, std::vector<std::string>> m_values;
};

// Throws CUsageError. The arguments are those after the command's name.
CArguments ParseArguments(const std::vector<std::string>& args, const std::vector<COption>& options);

// "a, b or c", for messages that list choices.
std::string JoinChoices(const std::vector<std::string>& choices);

}  // namespace lumo_cli
