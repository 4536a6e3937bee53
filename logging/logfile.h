#pragma once
// What the message log and the display snapshot share before their lines:
// whether the folder takes lines, the file name of the day and base name,
// and the file with its header.
#include <QString>

class LogWriter;
class ModFunctions;
struct GlobalDec;

// A base name stays inside the folder: no path separator, no "..".
bool baseNameSafe(const QString &base);

// The folder in effect takes lines when it passes its test now, or passed it
// since it took effect and is only away for a while: then the lines wait in
// the writer until it is back.
bool logFolderTakesLines(const GlobalDec &g, const ModFunctions &mod);

// Builds g.logfilename from the folder and base name in effect and the date
// of the last clock refresh, then makes sure that file exists with its
// header. False, with nothing written, when the base name is empty or unsafe.
bool prepareLogFile(GlobalDec &g, LogWriter &writer);

// The notice under the logging area: a refused base name, a folder that is
// away, and the writer's own notice of waiting lines, as one line; empty
// when there is nothing to say.
QString logNoticeText(const GlobalDec &g, const QString &writerNotice);
