// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "replay.h"

#include <QRegularExpression>

std::variant<QList<Message>, LineError> parseReplay(QIODevice &source, double speed)
{
    static const QRegularExpression seconds(QStringLiteral("^\\d{1,9}(\\.\\d{1,6})?$"));
    QList<Message> records;
    QString previous = QStringLiteral("0");
    const auto error = forEachLine(source, [&](QStringList words) -> std::optional<QString> {
        const QString time = words.takeFirst();
        if (!seconds.match(time).hasMatch())
            return QStringLiteral("'%1' is not a time in seconds such as 12.345").arg(time);
        if (time.toDouble() < previous.toDouble())
            return QStringLiteral("time %1 goes back before %2").arg(time, previous);
        auto bytes = bytesFromHex(words);
        if (auto *what = std::get_if<QString>(&bytes))
            return *what;
        if (std::get<QByteArray>(bytes).isEmpty())
            return QStringLiteral("time %1 without bytes").arg(time);
        Message record;
        record.bytes = std::get<QByteArray>(bytes);
        record.dueMs = qRound64(time.toDouble() * 1000 / speed);
        records.append(record);
        previous = time;
        return std::nullopt;
    });
    if (error)
        return *error;
    return records;
}
