// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "script.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
// One line of a script: a message, or the rest of the one before.
struct ScriptLine {
    Message message;
    bool continues = false;
};

std::variant<ScriptLine, QString> parseLine(QStringList words, int defaultPauseMs)
{
    static const QRegularExpression pause(QStringLiteral("^\\+(\\d{1,7})ms$"));
    ScriptLine line;
    line.message.pauseMs = defaultPauseMs;
    if (words.first() == QLatin1StringView(continuationMark)) {
        words.removeFirst();
        line.continues = true;
    } else if (words.first().startsWith(u'+')) {
        const QString word = words.takeFirst();
        const auto match = pause.match(word);
        if (!match.hasMatch())
            return QStringLiteral("pause '%1' is not +<milliseconds>ms").arg(word);
        line.message.pauseMs = match.captured(1).toInt();
        if (line.message.pauseMs < shortestGapMs)
            return QStringLiteral("pause %1 ms is below %2 ms; put bytes meant as one burst on one line, or on "
                                  "lines led by '%3' after it")
                .arg(line.message.pauseMs)
                .arg(shortestGapMs)
                .arg(QLatin1StringView(continuationMark));
    }
    for (const QString &word : words)
        if (word.startsWith(u'+'))
            return line.continues ? QStringLiteral("pause '%1' in a line led by '%2': it has no silence before it")
                                        .arg(word, QLatin1StringView(continuationMark))
                                  : QStringLiteral("pause '%1' must come before the bytes").arg(word);
    auto bytes = bytesFromHex(words);
    if (auto *what = std::get_if<QString>(&bytes))
        return *what;
    line.message.bytes = std::get<QByteArray>(bytes);
    if (line.message.bytes.isEmpty())
        return line.continues ? QStringLiteral("'%1' without bytes").arg(QLatin1StringView(continuationMark))
                              : QStringLiteral("a pause without bytes");
    return line;
}
} // namespace

std::variant<QList<Message>, LineError> parseScript(QIODevice &source, int defaultPauseMs)
{
    QList<Message> messages;
    const auto error = forEachLine(source, [&](const QStringList &words) -> std::optional<QString> {
        auto parsed = parseLine(words, defaultPauseMs);
        if (auto *what = std::get_if<QString>(&parsed))
            return *what;
        ScriptLine &line = std::get<ScriptLine>(parsed);
        if (!line.continues)
            messages.append(std::move(line.message));
        else if (messages.isEmpty())
            return QStringLiteral("'%1' with no burst before it to go on with")
                .arg(QLatin1StringView(continuationMark));
        else
            messages.last().bytes.append(line.message.bytes);
        return std::nullopt;
    });
    if (error)
        return *error;
    return messages;
}
