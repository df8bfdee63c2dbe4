// SPDX-License-Identifier: MIT
#include "cli/Csv.h"

#include <gtest/gtest.h>

#include <random>

using namespace lumo_cli;

namespace {

std::vector<std::vector<std::string>> ReadAll(std::string_view text, std::vector<std::size_t>* pLines = nullptr)
{
    CCsvReader reader(text);
    CCsvRecord record;
    std::vector<std::vector<std::string>> records;
    while (reader.Next(record)) {
        std::vector<std::string> fields;
        for (const CCsvField& field : record.fields)
            fields.emplace_back(field.text);
        records.push_back(fields);
        if (pLines)
            pLines->push_back(record.nLine);
    }
    return records;
}

// The line a malformed input is refused at, or 0 when it is accepted.
std::size_t ErrorLine(std::string_view text)
{
    try {
        ReadAll(text);
    } catch (const CCsvError& e) {
        return e.m_nLine;
    }
    return 0;
}

using Records = std::vector<std::vector<std::string>>;

TEST(CsvReader, QuotedFieldsKeepCommasQuotesAndLineBreaks)
{
    EXPECT_EQ(ReadAll("a,\"b,c\",\"say \"\"hi\"\"\",\"x\r\ny\",\"p\nq\",\"\"\"\"\r\n"),
              (Records{{"a", "b,c", "say \"hi\"", "x\r\ny", "p\nq", "\""}}));
    // A quoted field may end the input without a line end.
    EXPECT_EQ(ReadAll("\"a\",\"b\""), (Records{{"a", "b"}}));
    // A lone CR inside quotes is text too.
    EXPECT_EQ(ReadAll("\"a\rb\"\n"), (Records{{"a\rb"}}));
}

TEST(CsvReader, LineEndsMayBeCrlfOrLfAndTheLastIsOptional)
{
    const Records expected{{"a", "b"}, {"c", "d"}, {"e", "f"}};
    EXPECT_EQ(ReadAll("a,b\r\nc,d\r\ne,f\r\n"), expected);
    EXPECT_EQ(ReadAll("a,b\nc,d\ne,f\n"), expected);
    EXPECT_EQ(ReadAll("a,b\r\nc,d\ne,f"), expected);
    // Blank lines at the very end hold nothing and are skipped.
    EXPECT_EQ(ReadAll("a,b\r\nc,d\ne,f\r\n\r\n\n"), expected);
    EXPECT_EQ(ReadAll(""), Records{});
}

TEST(CsvReader, EmptyFieldsQuotedOrNot)
{
    EXPECT_EQ(ReadAll(",,\r\n\"\",,\"\"\r\nx,,"), (Records{{"", "", ""}, {"", "", ""}, {"x", "", ""}}));
    // A blank line between records is a record of one empty field; the caller decides.
    EXPECT_EQ(ReadAll("a\n\nb\n"), (Records{{"a"}, {""}, {"b"}}));
}

TEST(CsvReader, RecordsKnowTheirLineAcrossQuotedLineBreaks)
{
    std::vector<std::size_t> lines;
    ReadAll("h\r\n\"one\r\ntwo\nthree\"\r\nnext\n\"x\"\n", &lines);
    EXPECT_EQ(lines, (std::vector<std::size_t>{1, 2, 5, 6}));
}

TEST(CsvReader, MalformedInputIsRefusedAtItsLine)
{
    EXPECT_EQ(ErrorLine("a,b\nc,d\"e\n"), 2u);            // a quote inside an unquoted field
    EXPECT_EQ(ErrorLine("a,b\n \"c\",d\n"), 2u);          // a space before the opening quote
    EXPECT_EQ(ErrorLine("a\n\"b\nc\nd"), 2u);             // never closed: the line where it opened
    EXPECT_EQ(ErrorLine("a\n\"b\"c,d\n"), 2u);            // text after the closing quote
    EXPECT_EQ(ErrorLine("\"x\ny\" z\n"), 2u);             // ... on the line where it happens
    EXPECT_EQ(ErrorLine("a,b\rc,d\n"), 1u);               // a CR without LF outside quotes
    EXPECT_EQ(ErrorLine("\"a\"\"\n"), 1u);                // an escaped quote, then no closing one
}

TEST(CsvWriter, QuotesOnlyWhatNeedsIt)
{
    auto field = [](std::string_view text) {
        std::string out;
        AppendCsvField(out, text);
        return out;
    };
    EXPECT_EQ(field("plain text"), "plain text");
    EXPECT_EQ(field(""), "");
    EXPECT_EQ(field("a,b"), "\"a,b\"");
    EXPECT_EQ(field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(field("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(field("cr\r"), "\"cr\r\"");
    EXPECT_EQ(field(" padded"), "\" padded\"");
    EXPECT_EQ(field("tab\t"), "\"tab\t\"");
}

TEST(CsvWriter, AnyFieldsReadBackUnchanged)
{
    std::mt19937 rng(7);
    const std::string alphabet = "ab ,\"\r\n\t'";
    for (int round = 0; round < 500; ++round) {
        Records records(1 + rng() % 4);
        const std::size_t nFields = 1 + rng() % 4;
        for (auto& record : records) {
            for (std::size_t f = 0; f < nFields; ++f) {
                std::string text;
                for (std::size_t n = rng() % 6; n > 0; --n)
                    text += alphabet[rng() % alphabet.size()];
                record.push_back(text);
            }
        }
        // A record of one empty field is a blank line; it only reads back between records.
        if (nFields == 1)
            for (auto& record : records)
                record[0] += 'x';
        std::string csv;
        for (const auto& record : records) {
            for (std::size_t f = 0; f < record.size(); ++f) {
                if (f > 0)
                    csv += ',';
                AppendCsvField(csv, record[f]);
            }
            csv += round % 2 ? "\r\n" : "\n";
        }
        ASSERT_EQ(ReadAll(csv), records) << "round " << round << ": " << csv;
    }
}

}  // namespace
