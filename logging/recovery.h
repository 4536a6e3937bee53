// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// At exit, log lines that still wait are not lost: after one last attempt
// to write them, what remains goes to recovery files in the user's state
// folder, one per intended log file, in the log format, appended to by
// every later exit.
#include <QString>
#include <QStringList>

class LogWriter;

// $XDG_STATE_HOME/halvern, by default ~/.local/state/halvern; for a service
// with a state folder of its own ($STATE_DIRECTORY), that folder.
QString recoveryFolder();

// The recovery file for the intended log file: its absolute path, made one
// file name ("%" "/" "\" ":" written as %25 %2F %5C %3A), so two intended
// files never share one. A name too long for the file system is shortened
// to the file's own name and a SHA-256 of its path.
QString recoveryFilePath(const QString &folder, const QString &intendedPath);

// Tries once more to write what waits, then saves what is left in `folder`
// (made, owner only, if missing). Returns the lines for standard error: one
// per file saved (how many lines, the intended file, the recovery file), a
// count of lines dropped while waiting, and where even the recovery file
// cannot be written, that and the lines themselves. Empty when nothing was
// left.
QStringList saveWaitingLogLines(LogWriter &writer, const QString &folder);
