#include "script.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
std::variant<Message, QString> parseLine(QStringList words, int defaultPauseMs)
{
    static const QRegularExpression pause(QStringLiteral("^\\+(\\d{1,7})ms$"));
    Message message;
    message.pauseMs = defaultPauseMs;
    if (words.first().startsWith(u'+')) {
        const QString word = words.takeFirst();
        const auto match = pause.match(word);
        if (!match.hasMatch())
            return QStringLiteral("pause '%1' is not +<milliseconds>ms").arg(word);
        message.pauseMs = match.captured(1).toInt();
        if (message.pauseMs < shortestGapMs)
            return QStringLiteral("pause %1 ms is below %2 ms; put bytes meant as one burst on one line")
                .arg(message.pauseMs)
                .arg(shortestGapMs);
    }
    for (const QString &word : words)
        if (word.startsWith(u'+'))
            return QStringLiteral("pause '%1' must come before the bytes").arg(word);
    auto bytes = bytesFromHex(words);
    if (auto *what = std::get_if<QString>(&bytes))
        return *what;
    message.bytes = std::get<QByteArray>(bytes);
    if (message.bytes.isEmpty())
        return QStringLiteral("a pause without bytes");
    return message;
}
} // namespace

std::variant<QList<Message>, LineError> parseScript(QIODevice &source, int defaultPauseMs)
{
    QList<Message> messages;
    const auto error = forEachLine(source, [&](const QStringList &words) -> std::optional<QString> {
        auto parsed = parseLine(words, defaultPauseMs);
        if (auto *what = std::get_if<QString>(&parsed))
            return *what;
        messages.append(std::get<Message>(parsed));
        return std::nullopt;
    });
    if (error)
        return *error;
    return messages;
}
