// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the message log and the display snapshot share before their lines:
// whether the folder takes lines, the file name of the day and base name,
// and the file with its header.
#include <QString>

class LogWriter;
class ModFunctions;
struct GlobalDec;

// The step before the lines of the message log and of the snapshot: with
// logging enabled and the folder in effect taking lines (it passes its test
// now, or passed it since it took effect and is only away for a while: then
// the lines wait in the writer until it is back), builds g.logfilename from
// the folder and base name in effect and the date of the last clock refresh,
// and makes sure that file exists with its header. False, with nothing
// written, when logging is off, the folder takes no lines, or the base name
// is empty or unsafe.
bool logFileReady(bool enabled, GlobalDec &g, const ModFunctions &mod, LogWriter &writer);

// The notice under the logging area: a refused base name, a folder that is
// away, and the writer's own notice of waiting lines, as one line; empty
// when there is nothing to say.
QString logNoticeText(const GlobalDec &g, const QString &writerNotice);
