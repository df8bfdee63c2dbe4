// SPDX-License-Identifier: MIT
// The checks of one text against its translation, for the engine.
#pragma once

#include "TranslationChecks.h"

namespace lumo_cli {

class CTextCodes;

class CTextCheck {
public:
    CTextCheck(const CCheckOptions& options, const std::vector<CPlaceholderPattern>& patterns, std::string_view source,
               std::string_view translation, std::vector<CFinding>& findings)
        : m_options(options), m_patterns(patterns), m_source(source), m_translation(translation), m_findings(findings)
    {
    }
    void Run();

private:
    bool Enabled(ECheck check) const { return m_options.enabled[static_cast<std::size_t>(check)]; }
    void Report(ECheck check, std::string message);
    // Reports what one side has that the other lacks, as multisets.
    void CompareTokens(ECheck check, const Tokens& source, const Tokens& translation, bool bMissingOnly = false);
    void CheckPrintf();
    void CheckTags();
    void CheckWhitespace();
    void CheckEndPunctuation();
    bool HasWords();
    void CheckNumbers();
    // The numbers of a text that start outside its placeholders, tags and addresses.
    const Tokens& NumbersOutsideCode(CTextCodes& codes, Tokens& scratch);

    const CCheckOptions& m_options;
    const std::vector<CPlaceholderPattern>& m_patterns;
    std::string_view m_source, m_translation;
    std::vector<CFinding>& m_findings;
    CTextCodes* m_pSource = nullptr;       // the codes of each text, found once, from Run
    CTextCodes* m_pTranslation = nullptr;
};

// A text in UTF-8 in double quotes, with \\, \", \n, \r, \t and \uXXXX
// escaped, as lumo diff shows texts.
std::string QuotedText(std::string_view cp1252);

}  // namespace lumo_cli
