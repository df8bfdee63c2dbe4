// SPDX-License-Identifier: MIT
#include "QtText.h"

#include "platform/Cp1252.h"

#include <QFile>

QString BytesToQString(std::string_view bytes)
{
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = text.data();
    for (const char c : bytes)
        *out++ = QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(c))));
    return text;
}

namespace {
char16_t ControlSymbol(unsigned char c, bool bKeepLayout)
{
    if (bKeepLayout && (c == '\n' || c == '\t'))
        return c;
    switch (c) {
    case '\n':
        return u'\u21B5';  // ↵
    case '\t':
        return u'\u2192';  // →
    case '\r':
        return u'\u2190';  // ←: back to the start of the line; fonts have it, unlike ␍
    case 0x7F:
        return u'\u2421';  // ␡
    default:
        return c < 0x20 ? static_cast<char16_t>(0x2400 + c) : 0;  // ␍, ␇, ...
    }
}
}  // namespace

QString BytesToRowText(std::string_view bytes)
{
    QString text = BytesToQString(bytes);
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
            ch = QChar(ControlSymbol(static_cast<unsigned char>(ch.unicode()), false));
    return text;
}

QString BytesToToolTip(std::string_view bytes, qsizetype nMaxChars)
{
    const bool bCut = static_cast<qsizetype>(bytes.size()) > nMaxChars;
    QString text = BytesToQString(bytes.substr(0, bCut ? static_cast<std::size_t>(nMaxChars) : bytes.size()));
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
            ch = QChar(ControlSymbol(static_cast<unsigned char>(ch.unicode()), true));
    QString html = QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped();
    if (bCut)
        html += QStringLiteral(" <i>… (%1 more bytes)</i>").arg(bytes.size() - static_cast<std::size_t>(nMaxChars));
    return html + QStringLiteral("</p>");
}

std::optional<CString> QStringToBytes(const QString& text)
{
    CString bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar ch : text) {
        const auto byte = UnicodeToCp1252(ch.unicode());
        if (!byte || *byte == 0)
            return std::nullopt;
        bytes += static_cast<char>(*byte);
    }
    return bytes;
}

QValidator::State CCodePageValidator::validate(QString& input, int&) const
{
    return QStringToBytes(input) ? Acceptable : Invalid;
}

QString SystemToQString(const CString& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

CString QStringToSystem(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}
