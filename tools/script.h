#pragma once
// Script files for the simulator: one message per line, written as hex byte
// pairs separated by blanks, optionally preceded by the silence to keep
// before it, e.g. "+250ms 82 01 23 45 03 00 2B 00 70 A8 7C". '#' starts a
// comment; blank lines are skipped.
#include "hexlines.h"
#include "traffic.h"

#include <QList>
#include <QString>
#include <variant>

// Silences shorter than this merge two messages into one burst at the console.
inline constexpr int shortestGapMs = 30;

// The messages of a script; a line without a pause keeps `defaultPauseMs`.
std::variant<QList<Message>, LineError> parseScript(QIODevice &source, int defaultPauseMs);
