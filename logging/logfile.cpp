// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "logging/logfile.h"

#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "logging/csv.h"
#include "logging/logwriter.h"

#include <QFileInfo>
#include <QStringList>

namespace {
// A base name stays inside the folder: no path separator, no "..".
bool baseNameSafe(const QString &base)
{
    return !base.contains(u'/') && !base.contains(u'\\') && !base.contains(QLatin1String(".."));
}
} // namespace

// The folder text must end with a separator, since the file name is the
// folder text and the base name joined as they stand, and must name a folder
// that exists and takes new files. An empty folder is usable: the day's
// first line creates its file there.
bool ModFunctions::LogFolderUsable() const
{
    const QString &folder = m_g.logfolder;
    if (!folder.endsWith(u'\\') && !folder.endsWith(u'/'))
        return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

// Once passed, the folder's test is not asked again here: a line in the
// moment between the folder going away and the clock tick noticing it
// waits like every other.
bool logFileReady(bool enabled, GlobalDec &g, const ModFunctions &mod, LogWriter &writer)
{
    if (!enabled || (g.logfolderstate == GlobalDec::LogFolderState::NotPassed && !mod.LogFolderUsable()))
        return false;
    g.logfilename = logFileName(g.logfolder, g.logbase, g.daystr, g.monthstr, g.yearstr);
    if (g.logbase.isEmpty() || !baseNameSafe(g.logbase))
        return false;
    writer.prepare(g.logfilename);
    return true;
}

QString logNoticeText(const GlobalDec &g, const QString &writerNotice)
{
    QStringList parts;
    if (!baseNameSafe(g.logbase))
        parts << QStringLiteral("Base name \"%1\" refused (no /, \\ or ..): nothing is logged").arg(g.logbase);
    if (g.logfolderstate == GlobalDec::LogFolderState::Away)
        parts << QStringLiteral("Log folder %1 unavailable%2")
                     .arg(g.logfolder, writerNotice.isEmpty() ? QStringLiteral(", no log lines waiting") : QString());
    if (!writerNotice.isEmpty())
        parts << writerNotice;
    return parts.join(QStringLiteral("; "));
}
