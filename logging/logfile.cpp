#include "logging/logfile.h"

#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "logging/csv.h"
#include "logging/logwriter.h"

#include <QFileInfo>
#include <QLineEdit>

// The folder text must end with a separator, since the file name is the
// folder text and the base name joined as they stand, and must name a folder
// that exists and takes new files. An empty folder is usable: the day's
// first line creates its file there.
bool ModFunctions::LogFolderUsable() const
{
    const QString folder = ui.txtfilepath->text();
    if (!folder.endsWith(u'\\') && !folder.endsWith(u'/'))
        return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

bool prepareLogFile(GlobalDec &g, const Mainscreen &ui, LogWriter &writer)
{
    const QString base = ui.txtpulsefilename->text();
    g.logfilename = logFileName(ui.txtfilepath->text(), base, g.daystr, g.monthstr, g.yearstr);
    if (base.isEmpty())
        return false;
    writer.prepare(g.logfilename);
    return true;
}
