// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "hexlines.h"

#include <QIODevice>
#include <QRegularExpression>

std::optional<LineError> forEachLine(QIODevice &source,
                                     const std::function<std::optional<QString>(const QStringList &words)> &take)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    // Read until nothing comes: atEnd() is true of a device such as /dev/zero
    // before anything was read from it.
    for (int number = 1;; ++number) {
        QByteArray line = source.readLine(longestLine + 2);
        if (line.isEmpty())
            break;
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.size() > longestLine)
            return LineError{number, QStringLiteral("line longer than %1 bytes").arg(longestLine)};
        const QStringList words = printable(line).section(u'#', 0, 0).split(blanks, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        if (auto what = take(words))
            return LineError{number, *what};
    }
    return std::nullopt;
}

QString printable(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte < 0x7F) || byte == '\t')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + QString::number(byte, 16).rightJustified(2, u'0').toUpper();
    }
    return text;
}

std::variant<QByteArray, QString> bytesFromHex(const QStringList &words)
{
    static const QRegularExpression hexByte(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    QByteArray bytes;
    for (const QString &word : words) {
        if (!hexByte.match(word).hasMatch())
            return QStringLiteral("'%1' is not a hex byte").arg(word);
        bytes.append(static_cast<char>(word.toUInt(nullptr, 16)));
    }
    return bytes;
}
