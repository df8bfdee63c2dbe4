// SPDX-License-Identifier: MIT
// Texts between the entry file (Windows-1252 bytes) and JSON or CSV (UTF-8),
// and where in an input file something is, for messages.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumo_cli {

// The input of an import was refused; the message says where and why.
class CImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CTextProblem {
    std::size_t offset;   // byte offset in the UTF-8 text
    std::string message;  // what is wrong, as a phrase
};

// Converts a UTF-8 text to the bytes an entry file stores. Refuses invalid
// UTF-8, a character Windows-1252 cannot hold and a NUL (the file format
// ends a text at its first 0x00); out then holds nothing of use.
std::optional<CTextProblem> ToEntryText(std::string_view utf8, std::string& out);

// The value of a hexadecimal digit, or -1 for any other character.
inline int HexValue(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// C0, DEL and C1: what a terminal would act on or hide.
inline bool IsControl(char32_t ch)
{
    return ch < 0x20 || (ch >= 0x7F && ch < 0xA0);
}
// A character as lumo diff shows it inside quotes: backslash, quote, \n,
// \r, \t and \uXXXX for the other control characters escaped.
void AppendEscaped(std::string& out, char32_t ch);
// An entry's Windows-1252 text as UTF-8 with every byte kept and the
// characters above escaped, so one message stays on one line; quoted.
std::string EscapedEntryText(std::string_view cp1252);
std::string QuotedEntryText(std::string_view cp1252);
// An entry's name bare when it is plainly one word, quoted otherwise.
std::string ShownEntryName(std::string_view cp1252);
// Anything from input in a message (a file name, a CSV header, an XML
// name): as it is when it is plainly printable UTF-8, otherwise quoted and
// escaped as lumo diff quotes texts (bytes that are not UTF-8 as \xNN), so
// that it can neither drive the terminal nor forge a line.
std::string Shown(std::string_view text);
// A message that may carry bytes of the input (a library's words about
// it): only control characters and bytes that are not UTF-8 escaped.
std::string EscapeControls(std::string_view text);
// The same, always in quotes.
std::string Quoted(std::string_view text);

// "U+4E2D (中)", or just "U+0007" for a control character.
std::string DescribeCharacter(char32_t ch);

struct CLineColumn {
    std::size_t line;    // 1-based
    std::size_t column;  // 1-based, in characters
};
// The line and column of a byte offset in UTF-8 text.
CLineColumn LineColumnOf(std::string_view text, std::size_t offset);

}  // namespace lumo_cli
