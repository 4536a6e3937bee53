#pragma once
// What the simulator's script and replay files have in common: one record a
// line, bytes written as hex pairs separated by blanks, '#' starting a
// comment, blank lines skipped, and a bad line named by its number.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

struct LineError {
    int line = 0;  // counted from 1
    QString what;
};

// Hands `take` the blank-separated words of every line of `text` that holds
// more than a comment, until `take` gives a reason to reject one.
std::optional<LineError> forEachLine(const QString &text,
                                     const std::function<std::optional<QString>(const QStringList &words)> &take);

// The bytes that hex pairs such as "2B" or "2b" stand for; the reason when a word is not one.
std::variant<QByteArray, QString> bytesFromHex(const QStringList &words);
