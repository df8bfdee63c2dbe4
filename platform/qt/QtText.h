// SPDX-License-Identifier: MIT
// Where entry text crosses into Qt, and the only place: bytes in the 8-bit
// code page become a QString through the lossless Windows-1252 map, and typed
// text goes back the same way. What the code page cannot hold is refused.
#pragma once

#include "platform/AfxTypes.h"

#include <QString>
#include <QValidator>

#include <optional>

QString BytesToQString(std::string_view bytes);
// The text for one row on screen: line breaks, tabs and the other control
// characters as visible symbols (LF ↵, tab →, CR ←, others their control
// pictures), so that the whole text stays on one line. The code page holds
// none of these symbols, so nothing shown can be mistaken for a stored character.
QString BytesToRowText(std::string_view bytes);
// The whole text for a tooltip, as rich text that keeps its line breaks and
// tabs and wraps long lines; at most nMaxChars characters of it.
QString BytesToToolTip(std::string_view bytes, qsizetype nMaxChars = 4096);
// Nothing when the text holds a character the code page cannot hold, or a NUL.
std::optional<CString> QStringToBytes(const QString& text);

// Refuses any input with a character that cannot be stored in an entry file.
class CCodePageValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// File names and the framework's messages are in the system's encoding, not the code page.
QString SystemToQString(const CString& text);
CString QStringToSystem(const QString& text);
