// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Script files for the simulator: one message per line, written as hex byte
// pairs separated by blanks, optionally preceded by the silence to keep
// before it, e.g. "+250ms 82 01 23 45 03 00 2B 00 70 A8 7C". A line led by
// "..." goes on with the message of the line before, with no silence between:
// a burst longer than a line may be (longestLine) spreads over several. '#'
// starts a comment; blank lines are skipped.
#include "hexlines.h"
#include "traffic.h"

#include <QList>
#include <QString>
#include <variant>

// Silences shorter than this merge two messages into one burst at the console.
inline constexpr int shortestGapMs = 30;

// Leads a line that goes on with the burst of the line before.
inline constexpr char continuationMark[] = "...";

// The messages of a script; a line without a pause keeps `defaultPauseMs`.
std::variant<QList<Message>, LineError> parseScript(QIODevice &source, int defaultPauseMs);
