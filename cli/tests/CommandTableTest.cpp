// SPDX-License-Identifier: MIT
// The command table and its option parser: what the documentation must
// name, and every kind of option a command can have.
#include "CliTestUtil.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include <gtest/gtest.h>

#include <regex>

using namespace lumo_cli_test;
using namespace lumo_cli;

namespace {

TEST(CommandTable, EveryCommandAndOptionIsInTheManPageTheReadmeAndItsHelp)
{
    // The man page's "\-" is a plain "-" once read.
    const std::string man = std::regex_replace(ReadFile(LUMO_SOURCE_DIR "/dist/man/lumo.1"), std::regex(R"(\\-)"), "-");
    const std::string readme = ReadFile(LUMO_SOURCE_DIR "/README.md");
    const std::string mainHelp = Lumo({"--help"}).out;
    for (const CCommand& command : CommandTable()) {
        EXPECT_NE(man.find(".B lumo " + command.name), std::string::npos) << command.name;
        EXPECT_NE(readme.find("lumo " + command.name + " "), std::string::npos) << command.name;
        EXPECT_NE(mainHelp.find("\n  " + command.synopsis), std::string::npos) << command.name;
        const CRunResult help = Lumo({command.name, "--help"});
        EXPECT_EQ(help.out.rfind("Usage: lumo " + command.name + " ", 0), 0u) << help.out;
        for (const COption& option : command.options) {
            const std::regex named(option.name + "\\b");
            EXPECT_TRUE(std::regex_search(man, named)) << command.name << " " << option.name;
            EXPECT_TRUE(std::regex_search(readme, named)) << command.name << " " << option.name;
            EXPECT_NE(help.out.find(option.name), std::string::npos) << command.name << " " << option.name;
        }
    }
}

TEST(CommandTable, TheParserTakesEveryKindOfOptionAndSaysWhatIsWrong)
{
    COption format{"--format", 0, EOptionKind::choice, "FMT", {"text", "json"}};
    format.aliases = {{"js", "json"}};
    COption maxLength{"--max-length", 0, EOptionKind::integer, "N"};
    maxLength.nMin = 1;
    maxLength.nMax = 1000;
    maxLength.badValueMessage = "{option} is a length in bytes, from {min} to {max}";
    const std::vector<COption> options = {{"--output", 'o', EOptionKind::value, "OUT"},
                                          {"--strict", 0, EOptionKind::flag},
                                          {"--placeholder", 0, EOptionKind::repeatable, "REGEX"},
                                          maxLength,
                                          format};

    const CArguments parsed = ParseArguments(
        {"a", "-oOUT", "--placeholder", "%s", "b", "--placeholder=%d", "--strict", "--max-length=80", "--format",
         "js", "-", "--", "--strict", "-h"},
        options);
    EXPECT_EQ(parsed.operands, (std::vector<std::string>{"a", "b", "-", "--strict", "-h"}));
    EXPECT_EQ(parsed.Value("--output"), "OUT");
    EXPECT_TRUE(parsed.Has("--strict"));
    EXPECT_EQ(parsed.Values("--placeholder"), (std::vector<std::string>{"%s", "%d"}));
    EXPECT_EQ(parsed.Integer("--max-length"), 80);
    EXPECT_EQ(parsed.Value("--format"), "json");
    EXPECT_FALSE(parsed.bHelp);
    EXPECT_TRUE(ParseArguments({"x", "--bogus", "--help"}, options).bHelp);

    const std::pair<std::vector<std::string>, std::string> mistakes[] = {
        {{"--max-length", "0"}, "--max-length is a length in bytes, from 1 to 1000"},
        {{"--max-length=12x"}, "--max-length is a length in bytes, from 1 to 1000"},
        {{"--max-length", "5", "--max-length", "6"}, "--max-length is given more than once"},
        {{"--format", "xml"}, "unknown value 'xml' for --format (use text or json)"},
        {{"--strict=yes"}, "--strict takes no value"},
        {{"--placeholder"}, "--placeholder needs a value"},
        {{"--placeholder="}, "--placeholder needs a non-empty value"},
        {{"-o", "a", "--output", "b"}, "--output is given more than once"},
        {{"-x"}, "unknown option '-x'"},
        {{"--out\x1b[2J"}, "unknown option '\"--out\\u001B[2J\"'"},
    };
    for (const auto& [args, message] : mistakes) {
        try {
            ParseArguments(args, options);
            ADD_FAILURE() << "accepted: " << message;
        } catch (const CUsageError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

}  // namespace
