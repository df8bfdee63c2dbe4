// SPDX-License-Identifier: MIT
#include "EntryWriters.h"
#include "Formats.h"
#include "JsonReader.h"

#include "platform/Cp1252.h"

#include <nlohmann/json.hpp>

#include <array>
#include <iterator>

namespace lumo_cli {

namespace {

using json = nlohmann::json;

constexpr std::array<const char*, 3> kKeys = {"name", "data", "extra"};

// Walks the input like a pointer and tells how far the parser has read, so
// the handler below can say where a refused value is.
class CCountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CCountingIterator() = default;
    CCountingIterator(const char* p, const char* base, std::size_t* pRead) : m_p(p), m_base(base), m_pRead(pRead) {}
    reference operator*() const { return *m_p; }
    CCountingIterator& operator++()
    {
        ++m_p;
        if (m_pRead)
            *m_pRead = static_cast<std::size_t>(m_p - m_base);
        return *this;
    }
    CCountingIterator operator++(int)
    {
        CCountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CCountingIterator& other) const { return m_p == other.m_p; }

private:
    const char* m_p = nullptr;
    const char* m_base = nullptr;
    std::size_t* m_pRead = nullptr;
};

// Collects the entries from the parser's events: an array of objects whose
// values are all texts. The first thing out of place stops the parse.
class CEntryHandler : public nlohmann::json_sax<json> {
public:
    explicit CEntryHandler(std::string_view input) : m_input(input) {}

    std::size_t m_nRead = 0;  // bytes the parser has taken
    std::vector<Entry> m_entries;
    std::string m_error;  // with its place; empty while all is well

    bool null() override { return NotAText("null"); }
    bool boolean(bool) override { return NotAText("true or false"); }
    bool number_integer(number_integer_t) override { return NotAText("a number"); }
    bool number_unsigned(number_unsigned_t) override { return NotAText("a number"); }
    bool number_float(number_float_t, const string_t&) override { return NotAText("a number"); }
    bool binary(binary_t&) override { return NotAText("binary data"); }

    bool string(string_t& value) override
    {
        const std::size_t start = TokenStart();
        if (m_depth != 2)
            return NotAText("a text");
        std::string* texts[] = {&m_entry.name, &m_entry.data, &m_entry.extra};
        if (const auto problem = ToEntryText(value, *texts[m_key]))
            return Fail(start, "the \"" + std::string(kKeys[m_key]) + "\" of entry " + EntryNumber() + ": " +
                                   problem->message + " (character " + std::to_string(CharacterIndex(value, problem->offset)) +
                                   " of the text)");
        return Done();
    }

    bool key(string_t& name) override
    {
        const std::size_t start = TokenStart();
        std::size_t k = 0;
        while (k < kKeys.size() && name != kKeys[k])
            ++k;
        if (k == kKeys.size())
            return Fail(start, "entry " + EntryNumber() + " has the unknown key " + json(name).dump() +
                                   "; an entry has the keys \"name\", \"data\" and \"extra\"");
        if (m_seen[k])
            return Fail(start, "entry " + EntryNumber() + " has the key \"" + kKeys[k] + "\" twice");
        m_seen[k] = true;
        m_key = k;
        return Done();
    }

    bool start_object(std::size_t) override
    {
        if (m_depth != 1)
            return NotAText("an object");
        m_depth = 2;
        m_entry = Entry{};
        m_seen = {};
        return Done();
    }

    bool end_object() override
    {
        for (std::size_t k = 0; k < kKeys.size(); ++k)
            if (!m_seen[k])
                return Fail(m_nRead - 1, "entry " + EntryNumber() + " has no \"" + kKeys[k] + "\"");
        m_entries.push_back(std::move(m_entry));
        m_depth = 1;
        return Done();
    }

    bool start_array(std::size_t) override
    {
        if (m_depth != 0)
            return NotAText("an array");
        m_depth = 1;
        return Done();
    }

    bool end_array() override
    {
        m_depth = 0;
        return Done();
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override
    {
        // The parser counts from 1: position is just past the byte it stopped at.
        std::string what = ex.what();
        const std::size_t colon = what.find(": ");
        if (colon != std::string::npos)
            what.erase(0, colon + 2);
        return Fail(position > 0 ? position - 1 : 0, "malformed JSON: " + what);
    }

private:
    std::string EntryNumber() const { return std::to_string(m_entries.size() + 1); }

    static std::size_t CharacterIndex(std::string_view text, std::size_t offset)
    {
        std::size_t n = 1;
        for (std::size_t i = 0; i < offset && i < text.size(); ++i)
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
                ++n;
        return n;
    }

    // Where the value just read starts: the parser has taken it completely,
    // and only blanks, commas and colons lie between it and the one before.
    std::size_t TokenStart() const
    {
        const std::size_t start = m_input.find_first_not_of(" \t\r\n,:", m_prevEnd);
        return start == std::string_view::npos || start >= m_nRead ? m_prevEnd : start;
    }

    bool Done()
    {
        m_prevEnd = m_nRead;
        return true;
    }

    bool NotAText(const char* what)
    {
        const std::size_t start = TokenStart();
        if (m_depth == 0)
            return Fail(start, "the entries must be an array of objects ([{\"name\": ..., \"data\": ..., \"extra\": ...}, ...]), not " +
                                   std::string(what));
        if (m_depth == 1)
            return Fail(start, "entry " + EntryNumber() + " must be an object with \"name\", \"data\" and \"extra\", not " +
                                   what);
        return Fail(start, "the \"" + std::string(kKeys[m_key]) + "\" of entry " + EntryNumber() +
                               " must be a text in quotes, not " + what);
    }

    bool Fail(std::size_t offset, const std::string& message)
    {
        const CLineColumn at = LineColumnOf(m_input, offset);
        m_error = "line " + std::to_string(at.line) + ", column " + std::to_string(at.column) + " (byte " +
                  std::to_string(offset) + "): " + message;
        return false;
    }

    std::string_view m_input;
    std::size_t m_prevEnd = 0;
    int m_depth = 0;  // 0 outside, 1 in the array, 2 in an entry
    Entry m_entry;
    std::array<bool, 3> m_seen{};
    std::size_t m_key = 0;
};

}  // namespace

std::string EntriesToJson(const std::vector<Entry>& entries)
{
    std::string out;
    WriteJsonEntries(entries, [&](const char* pBytes, std::size_t nCount) { out.append(pBytes, nCount); });
    return out;
}

std::vector<Entry> EntriesFromJsonLibrary(std::string_view input)
{
    CEntryHandler handler(input);
    const CCountingIterator first(input.data(), input.data(), &handler.m_nRead);
    const CCountingIterator last(input.data() + input.size(), input.data(), nullptr);
    const bool ok = json::sax_parse(first, last, &handler);
    if (!ok || !handler.m_error.empty())
        throw CImportError(handler.m_error.empty() ? std::string("malformed JSON") : handler.m_error);
    return std::move(handler.m_entries);
}

std::vector<Entry> EntriesFromJson(std::string_view input)
{
    return EntriesOf(EntryStoreFromJson(input));
}

CEntryStore EntryStoreFromJson(std::string_view input)
{
    CEntryStore entries;
    std::size_t nStop = 0;
    if (ReadJsonEntries(input, entries, &nStop))
        return entries;
    entries = {};
    // Refused: the library reads it again to say what is wrong, in its words.
    EntriesFromJsonLibrary(input);
    // It must refuse too (the fuzzer checks that); if it ever does not, the
    // place our reader stopped is still better than nothing.
    const CLineColumn at = LineColumnOf(input, nStop);
    throw CImportError("line " + std::to_string(at.line) + ", column " + std::to_string(at.column) + " (byte " +
                       std::to_string(nStop) + "): malformed JSON: the entries cannot be read from here on");
}

}  // namespace lumo_cli
