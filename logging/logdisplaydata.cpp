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
// (Value 2 is not logged). The Date field is the day the row's reading was
// received, so a reading of 23:58 yesterday keeps yesterday's date; a row
// with no reading (a number typed in) takes the snapshot's own date.
void ModFunctions::LogDisplayData()
{
    if (!logFileReady(ui.chklogen->isChecked(), g, *this, log))
        return;
    const QString today = logDate(g.daystr, g.monthstr, g.yearstr);
    for (g.rowidx = 0; g.rowidx < kDisplayRows; ++g.rowidx) {
        const auto row = std::size_t(g.rowidx);
        if (leadingNumber(ui.txttx[row]->text()) == 0)
            continue;
        const QString &received = g.rowdate[row];
        log.append(g.logfilename, csvLine({ui.txttx[row]->text(), ui.txsignal[row]->text(), ui.txtcount[row]->text(),
                                           ui.txtlog[row]->text(), received.isEmpty() ? today : received}));
    }
}
