// SPDX-License-Identifier: MIT
// The options of a lumo command: operands, -o/--output, --format and the
// translators' options, in the usual GNU style (-o OUT, -oOUT, --output OUT,
// --output=OUT, -- ends options).
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

// json and csv carry whole entries; pot, po and xliff carry texts for
// translators and need a source or template entry file beside them.
enum class EFormat { json, csv, pot, po, xliff };

inline bool IsTranslationFormat(EFormat format)
{
    return format == EFormat::pot || format == EFormat::po || format == EFormat::xliff;
}

// What import writes for a text that has no translation.
enum class EUntranslated { source, empty };

struct CCommandLine {
    std::vector<std::string> operands;
    std::optional<std::string> output;
    std::optional<EFormat> format;
    std::optional<std::string> source;          // --source: the entry file the texts come from
    std::optional<std::string> templ;           // --template: the entry file to translate
    std::optional<EUntranslated> untranslated;  // --untranslated
    std::optional<std::string> language;        // --language: the translation's language
    std::optional<std::string> sourceLanguage;  // --source-language
    bool help = false;
};

enum OptionFlags : unsigned {
    optNone = 0,
    optOutput = 1,
    optFormat = 2,              // --format json|csv
    optTranslationFormat = 4,   // --format also takes pot, po and xliff
    optSource = 8,              // --source, --language, --source-language
    optTemplate = 16,           // --template, --untranslated
};

// Parses the arguments after the command name. A -h or --help anywhere
// before "--" wins over everything else. Throws CUsageError.
CCommandLine ParseCommandLine(const std::vector<std::string>& args, unsigned allowed);

// A format name; with bTranslation also pot, po and xliff. Throws CUsageError.
EFormat ParseFormat(const std::string& name, bool bTranslation = false);
// The format a file name's extension names (.json, .csv, .pot, .po, .xlf,
// .xliff, any case), if any.
std::optional<EFormat> FormatFromExtension(const std::string& path);

}  // namespace lumo_cli
