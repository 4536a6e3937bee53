#include "logging/logfile.h"

#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "logging/csv.h"
#include "logging/logwriter.h"

#include <QFileInfo>
#include <QStringList>

// The folder text must end with a separator, since the file name is the
// folder text and the base name joined as they stand, and must name a folder
// that exists and takes new files. An empty folder is usable: the day's
// first line creates its file there.
bool ModFunctions::LogFolderUsable() const
{
    const QString &folder = g.logfolder;
    if (!folder.endsWith(u'\\') && !folder.endsWith(u'/'))
        return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

bool baseNameSafe(const QString &base)
{
    return !base.contains(u'/') && !base.contains(u'\\') && !base.contains(QLatin1String(".."));
}

// Once passed, the folder's test is not asked again here: a line in the
// moment between the folder going away and the clock tick noticing it
// waits like every other.
bool logFolderTakesLines(const GlobalDec &g, const ModFunctions &mod)
{
    return g.logfolderstate != GlobalDec::LogFolderState::NotPassed || mod.LogFolderUsable();
}

bool prepareLogFile(GlobalDec &g, LogWriter &writer)
{
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
