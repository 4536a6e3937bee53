#include "script.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
std::variant<Message, QString> parseLine(const QString &line, int defaultPauseMs)
{
    static const QRegularExpression pause(QStringLiteral("^\\+(\\d{1,7})ms$"));
    static const QRegularExpression hexByte(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    Message message;
    message.pauseMs = defaultPauseMs;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word.startsWith(u'+')) {
            const auto match = pause.match(word);
            if (!match.hasMatch())
                return QStringLiteral("pause '%1' is not +<milliseconds>ms").arg(word);
            if (i != 0)
                return QStringLiteral("pause '%1' must come before the bytes").arg(word);
            message.pauseMs = match.captured(1).toInt();
            if (message.pauseMs < shortestGapMs)
                return QStringLiteral("pause %1 ms is below %2 ms; put bytes meant as one burst on one line")
                    .arg(message.pauseMs).arg(shortestGapMs);
        } else if (hexByte.match(word).hasMatch()) {
            message.bytes.append(static_cast<char>(word.toUInt(nullptr, 16)));
        } else {
            return QStringLiteral("'%1' is not a hex byte").arg(word);
        }
    }
    if (message.bytes.isEmpty())
        return QStringLiteral("a pause without bytes");
    return message;
}
} // namespace

std::variant<QList<Message>, ScriptError> parseScript(const QString &text, int defaultPauseMs)
{
    QList<Message> messages;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].section(u'#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        auto parsed = parseLine(line, defaultPauseMs);
        if (auto *what = std::get_if<QString>(&parsed))
            return ScriptError{static_cast<int>(i + 1), *what};
        messages.append(std::get<Message>(parsed));
    }
    return messages;
}
