// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Replay files: a field capture kept as text, one record a line: the time in
// seconds since the capture began, a blank, then the bytes received as hex
// pairs, e.g. "12.345 82 01 23 45 03 00 2B 00 70 A8 7C". Times never go
// backwards. '#' starts a comment; blank lines are skipped.
#include "hexlines.h"
#include "traffic.h"

#include <QList>
#include <QString>
#include <variant>

// The records of a capture, each due (`dueMs`) at its time played at `speed`
// times the pace of the capture; they keep no silence of their own (`pauseMs` 0).
std::variant<QList<Message>, LineError> parseReplay(QIODevice &source, double speed);
