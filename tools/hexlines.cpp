#include "hexlines.h"

#include <QRegularExpression>

std::optional<LineError> forEachLine(const QString &text,
                                     const std::function<std::optional<QString>(const QStringList &words)> &take)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList words = lines[i].section(u'#', 0, 0).split(blanks, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        if (auto what = take(words))
            return LineError{static_cast<int>(i + 1), *what};
    }
    return std::nullopt;
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
