#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "app/numbers.h"
#include "logging/csv.h"
#include "logging/logfile.h"
#include "logging/logwriter.h"

#include <QCheckBox>
#include <QLineEdit>

// A snapshot of every occupied display row, the texts as they are shown
// (Value 2 is not logged); the Date field is the snapshot's own date.
void ModFunctions::LogDisplayData()
{
    if (!ui.chklogen->isChecked() || !LogFolderUsable())
        return;
    if (!prepareLogFile(g, ui, log))
        return;
    const QString date = logDate(g.daystr, g.monthstr, g.yearstr);
    for (g.rowidx = 0; g.rowidx < kDisplayRows; ++g.rowidx) {
        const auto row = std::size_t(g.rowidx);
        if (leadingNumber(ui.txttx[row]->text()) == 0)
            continue;
        log.append(g.logfilename, csvLine({ui.txttx[row]->text(), ui.txsignal[row]->text(),
                                           ui.txtcount[row]->text(), ui.txtlog[row]->text(), date}));
    }
}
