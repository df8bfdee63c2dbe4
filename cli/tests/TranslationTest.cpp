// SPDX-License-Identifier: MIT
// The mapping between entries and messages, without any file format.
#include "cli/Translation.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <thread>
#include <tuple>

using namespace lumo_cli;

namespace {

std::vector<std::string> Sources(const CCatalog& catalog)
{
    std::vector<std::string> result;
    for (const CMessage& message : catalog.Messages())
        result.push_back(std::string(message.name) + "|" + std::string(message.source));
    return result;
}

// The entry numbers (1-based) and fields where a message occurs, as "3d 4e".
std::string Places(const CCatalog& catalog, std::size_t m)
{
    std::string result;
    for (Slot slot = catalog.Messages()[m].first; slot != kNoSlot; slot = catalog.NextSlot(slot))
        result += (result.empty() ? "" : " ") + std::to_string(slot / 2 + 1) + (slot % 2 ? "e" : "d");
    return result;
}

CTranslation Translated(std::string_view name, std::string_view source, std::string_view text, bool bFuzzy = false)
{
    return CTranslation{name, source, text, bFuzzy};
}

}  // namespace

TEST(Translation, OneMessagePerNameAndTextInOrderOfFirstUse)
{
    const std::vector<Entry> source = {
        {"A", "Start", ""},       // 1
        {"B", "Start", "Start"},  // 2: same text, other name; data and extra alike
        {"A", "Start", "Help"},   // 3: same name and text as entry 1
        {"A", "Quit", ""},        // 4: same name, other text
        {"C", "", ""},            // 5: nothing to translate
        {"", "\x01\t\r\n\x80\xff", "Help"},
    };
    const CCatalog catalog(source);
    EXPECT_EQ(Sources(catalog), (std::vector<std::string>{"A|Start", "B|Start", "A|Help", "A|Quit",
                                                          "|\x01\t\r\n\x80\xff", "|Help"}));
    EXPECT_EQ(Places(catalog, 0), "1d 3d");
    EXPECT_EQ(Places(catalog, 1), "2d 2e");
    EXPECT_TRUE(catalog.Messages()[1].bData && catalog.Messages()[1].bExtra);
    EXPECT_TRUE(!catalog.Messages()[2].bData && catalog.Messages()[2].bExtra);
    EXPECT_EQ(catalog.MessageAt(SlotOf(4, false)), CCatalog::npos);
    EXPECT_EQ(catalog.MessageAt(SlotOf(4, true)), CCatalog::npos);
    EXPECT_EQ(catalog.MessageAt(SlotOf(2, false)), 0u);
}

TEST(Translation, TargetPairsWithSourceByNameAndOccurrence)
{
    const std::vector<Entry> source = {
        {"A", "one", ""}, {"B", "two", "note"}, {"A", "three", ""}, {"C", "four", ""}, {"D", "", ""}};
    // Reordered, "C" missing, an unknown name, a third "A", a text where the source has none.
    const std::vector<Entry> target = {
        {"B", "deux", ""}, {"A", "un", ""}, {"X", "inconnu", ""}, {"A", "trois", ""}, {"A", "quatre", ""},
        {"D", "vide", ""}};
    CCatalog catalog(source);
    CWarnings warnings;
    catalog.AddTranslations(target, warnings);
    std::vector<std::string> translations;
    for (const CMessage& message : catalog.Messages())
        translations.emplace_back(message.translation);
    // "note" has an empty target text: untranslated. "four" has no partner.
    EXPECT_EQ(translations, (std::vector<std::string>{"un", "deux", "", "trois", ""}));
    const std::vector<std::string> lines = warnings.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("target entry 3 (\"X\") has a name the source does not have"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("target entry 5 (\"A\") occurs more often"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("data text of target entry 6 (\"D\") is left out"), std::string::npos) << lines[2];
}

TEST(Translation, MessageTranslatedTwiceKeepsTheFirstAndWarnsOnlyWhenTheyDiffer)
{
    const std::vector<Entry> source = {{"A", "Yes", ""}, {"A", "Yes", ""}, {"A", "Yes", ""}};
    const std::vector<Entry> target = {{"A", "Oui", ""}, {"A", "Oui", ""}, {"A", "Ouais", ""}};
    CCatalog catalog(source);
    CWarnings warnings;
    catalog.AddTranslations(target, warnings);
    ASSERT_EQ(catalog.Messages().size(), 1u);
    EXPECT_EQ(catalog.Messages()[0].translation, "Oui");
    ASSERT_EQ(warnings.Lines().size(), 1u);
    EXPECT_NE(warnings.Lines()[0].find("target entry 3"), std::string::npos) << warnings.Lines()[0];
}

// With pairing, the target is paired while the messages are still being
// numbered on another thread: each target entry must see the numbering of
// its source entry finished, wherever in the source that entry is.
TEST(Translation, PairingWhileNumberingGivesWhatPairingAfterItGives)
{
    // Enough entries for the numbering to be reported in several steps;
    // names and texts repeat, some texts are empty.
    std::vector<Entry> source;
    for (int i = 0; i < 5000; ++i)
        source.push_back({"N" + std::to_string(i % 1700), i % 7 == 0 ? "" : "t" + std::to_string(i % 2300),
                          i % 3 == 0 ? "e" + std::to_string(i % 900) : ""});
    const auto translated = [](const Entry& entry, const std::string& mark) {
        return Entry{entry.name, entry.data.empty() ? "" : mark + entry.data, entry.extra + mark};
    };
    struct CCase {
        const char* what;
        std::vector<Entry> target;
    };
    std::vector<CCase> cases = {{"in order", {}}, {"backwards", {}}, {"names and texts of its own", {}}};
    for (const Entry& entry : source)
        cases[0].target.push_back(translated(entry, "fr:"));
    cases[1].target.assign(cases[0].target.rbegin(), cases[0].target.rend());
    for (std::size_t i = 0; i < source.size(); ++i) {
        // Unknown names, a name more often than the source has it, the same
        // message translated differently, texts where the source has none.
        Entry entry = translated(source[(i * 7919) % source.size()], i % 5 == 0 ? "a:" : "b:");
        if (i % 11 == 0)
            entry.name += "?";
        if (i % 13 == 0)
            entry.data = "x";
        cases[2].target.push_back(entry);
    }
    for (const CCase& c : cases) {
        const auto outcome = [&](bool bPairing) {
            CCatalog catalog(source, bPairing);
            CWarnings warnings;
            catalog.AddTranslations(c.target, warnings);
            std::vector<std::string> result = warnings.Lines();
            for (std::size_t m = 0; m < catalog.Messages().size(); ++m)
                result.push_back(Places(catalog, m) + "=" + std::string(catalog.Messages()[m].translation));
            return result;
        };
        EXPECT_EQ(outcome(true), outcome(false)) << c.what;
    }
}

TEST(Translation, ManyWarningsOfAKindAreSummed)
{
    std::vector<Entry> target;
    for (int i = 0; i < 25; ++i)
        target.push_back({"N" + std::to_string(i), "x", ""});
    const std::vector<Entry> source;
    CCatalog catalog(source);
    CWarnings warnings;
    catalog.AddTranslations(target, warnings);
    const std::vector<std::string> lines = warnings.Lines();
    ASSERT_EQ(lines.size(), CWarnings::kShownPerKind + 1);
    EXPECT_EQ(lines.back(), "15 more target entries whose names are not in the source not shown");
}

TEST(Translation, ApplyReplacesTranslatedTextsAndCounts)
{
    const std::vector<Entry> templ = {
        {"A", "Start", "Help"}, {"B", "Start", ""}, {"A", "Start", ""}, {"C", "Quit", "Back"}, {"D", "", ""}};
    CTranslations translations;
    translations.Add(Translated("A", "Start", "Commencer"));
    translations.Add(Translated("A", "Help", "Aide", true));  // fuzzy: not used
    translations.Add(Translated("C", "Quit", ""));            // untranslated
    translations.Add(Translated("C", "Back", "Retour"));
    translations.Add(Translated("Z", "Gone", "Parti"));  // no longer in the template
    translations.AddUnmatchable();
    EXPECT_FALSE(translations.Add(Translated("A", "Start", "Autre")));

    CImportCounts counts;
    std::vector<Entry> result = EntriesOf(ApplyTranslations(templ, translations, false, counts));
    EXPECT_EQ(result, (std::vector<Entry>{{"A", "Commencer", "Help"},
                                          {"B", "Start", ""},
                                          {"A", "Commencer", ""},
                                          {"C", "Quit", "Retour"},
                                          {"D", "", ""}}));
    EXPECT_EQ(counts.nTranslated, 2u);
    EXPECT_EQ(counts.nFuzzy, 1u);
    EXPECT_EQ(counts.nUntranslated, 2u);  // B|Start, C|Quit
    EXPECT_EQ(counts.nNotInTemplate, 2u);

    result = EntriesOf(ApplyTranslations(templ, translations, true, counts));
    EXPECT_EQ(result, (std::vector<Entry>{{"A", "Commencer", ""},
                                          {"B", "", ""},
                                          {"A", "Commencer", ""},
                                          {"C", "", "Retour"},
                                          {"D", "", ""}}));
}

// Translations read while a feed offers the template refer to its texts
// instead of copying them: what is read back, found and refused as a
// repeat must be the same as without, whatever the order of the file, and
// wherever in the file the template comes.
TEST(Translation, RecordsReferringToTheTemplateReadBackAsCopiesDo)
{
    CEntryStore templ;
    for (const auto& [name, data, extra] : std::vector<std::array<std::string, 3>>{
             {"A", "One", ""}, {"B", "Two", "Two more"}, {"A", "One", "Again"}, {"C", "", "Three"}, {"D", "Four", ""}})
        templ.Append(name, data, extra);
    const std::vector<CTranslation> inOrder = {
        Translated("A", "One", "Un"),          Translated("B", "Two", "Deux"), Translated("B", "Two more", "", true),
        Translated("A", "Again", "Encore"),    Translated("X", "Elsewhere", "Ailleurs"),
        Translated("C", "Three", "Trois"),     Translated("D", "Four", "Quatre")};
    const std::vector<CTranslation> reversed(inOrder.rbegin(), inOrder.rend());
    for (const std::vector<CTranslation>* pFile : {&inOrder, &reversed}) {
        for (std::size_t nOffered = 0; nOffered <= pFile->size() + 1; ++nOffered) {
            SCOPED_TRACE("offered before message " + std::to_string(nOffered));
            CTranslationsFeed feed;
            CTranslations plain;  // made before the feed goes
            {
                CTranslationsFeed none;  // a feed without a template changes nothing either
                plain = CTranslations();
            }
            CTranslations fed;
            for (std::size_t k = 0; k < pFile->size(); ++k) {
                if (k == nOffered)
                    feed.OfferTemplate(templ);
                ASSERT_TRUE(fed.Add((*pFile)[k]));
                ASSERT_TRUE(plain.Add((*pFile)[k]));
            }
            EXPECT_EQ(feed.Current().get(), fed.Records());
            // A repeat is refused, and lookups find every pair.
            EXPECT_FALSE(fed.Add(Translated("A", "One", "Autre")));
            EXPECT_FALSE(fed.Add(Translated("X", "Elsewhere", "Autre")));
            ASSERT_EQ(fed.Size(), plain.Size());
            for (std::size_t t = 0; t < fed.Size(); ++t) {
                const CTranslation a = fed.At(t), b = plain.At(t);
                EXPECT_EQ(std::tie(a.name, a.source, a.text, a.bFuzzy, a.nUnitId),
                          std::tie(b.name, b.source, b.text, b.bFuzzy, b.nUnitId));
                EXPECT_EQ(fed.Find(a.name, a.source), t);
            }
            EXPECT_EQ(fed.Find("A", "Two"), CTranslations::npos);
        }
    }
    // A reader's helper thread waits for an expected template, and only then.
    for (const bool bOffered : {true, false}) {
        CTranslationsFeed feed;
        EXPECT_FALSE(CTranslationsFeed::TemplateWait());
        feed.ExpectTemplate();
        const std::function<void()> wait = CTranslationsFeed::TemplateWait();
        ASSERT_TRUE(wait);
        std::thread helper(wait);
        bOffered ? feed.OfferTemplate(templ) : feed.NoTemplate();
        helper.join();  // returns once the template is settled
        EXPECT_FALSE(CTranslationsFeed::TemplateWait());
    }
}
