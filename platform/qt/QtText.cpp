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
