// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the simulator's script and replay files have in common: one record a
// line, bytes written as hex pairs separated by blanks, '#' starting a
// comment, blank lines skipped, and a bad line named by its number.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

struct LineError {
    int line = 0; // counted from 1
    QString what;
};

class QIODevice;

// The longest line a file may hold: room for a burst of 250 bytes with its
// pause and a comment many times over. A longer one is refused rather than
// read, so that a file of no lines (/dev/zero) cannot fill the memory.
inline constexpr qsizetype longestLine = 4096;

// Hands `take` the blank-separated words of every line read from `source`
// that holds more than a comment, until `take` gives a reason to reject one
// or a line is longer than `longestLine`. Bytes other than printable ASCII
// reach `take` escaped (printable()), so a reason that quotes a word never
// sends raw file bytes to the terminal.
std::optional<LineError> forEachLine(QIODevice &source,
                                     const std::function<std::optional<QString>(const QStringList &words)> &take);

// `bytes` as text safe to print: printable ASCII, blanks and tabs as they
// are, every other byte as \xNN ("0\x1B[2J").
QString printable(QByteArrayView bytes);

// The bytes that hex pairs such as "2B" or "2b" stand for; the reason when a word is not one.
std::variant<QByteArray, QString> bytesFromHex(const QStringList &words);
