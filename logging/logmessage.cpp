#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "logging/csv.h"
#include "logging/logfile.h"
#include "logging/logwriter.h"

#include <QCheckBox>
#include <QLineEdit>

// One line for the current message. Its time and date are those of the last
// clock refresh, never the system clock's. Transmitter 0 leaves the file
// prepared but gets no line. While the folder is away the line waits.
void ModFunctions::LogMessage()
{
    if (!logFileReady(ui.chklogen->isChecked(), g, *this, log))
        return;
    if (g.txno == 0)
        return;
    log.append(g.logfilename, csvLine({QString::number(g.txno), QString::number(g.slevel),
                                       QString::number(g.logvalue), ui.txtmask->text(),
                                       logDate(g.daystr, g.monthstr, g.yearstr)}));
}
