// SPDX-License-Identifier: MIT
// Comma-separated values after RFC 4180: fields separated by commas, records
// by line ends (CRLF, and LF as well when reading); a field holding a comma,
// a quote or a line end is enclosed in quotes, a quote inside it doubled.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

class CCsvError : public std::runtime_error {
public:
    CCsvError(std::size_t nLine, const std::string& what) : std::runtime_error(what), m_nLine(nLine) {}
    std::size_t m_nLine;  // 1-based line of the input
};

struct CCsvField {
    // Into the input, or into unquoted for a field that held doubled quotes;
    // valid until the record is read into again.
    std::string_view text;
    std::size_t nLine = 0;  // where the field starts
    std::string unquoted;
};

struct CCsvRecord {
    std::vector<CCsvField> fields;
    std::size_t nLine = 0;  // where the record starts
};

// Reads records one after the other. The last record may end with a line
// end or not; blank lines at the very end of the input are ignored.
class CCsvReader {
public:
    explicit CCsvReader(std::string_view text) : m_text(text) {}
    // The next record; false at the end of the input. Throws CCsvError.
    // A record read into again keeps its fields' buffers.
    bool Next(CCsvRecord& record);

private:
    bool ReadField(CCsvField& field);  // true when the record goes on after it
    bool EndOfLine(std::size_t& pos);  // at LF or CRLF: steps over it

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_nLine = 1;
};

// Appends one field, quoted when it must be (or when spaces at either end
// would be at risk in other programs).
void AppendCsvField(std::string& out, std::string_view field);

}  // namespace lumo_cli
