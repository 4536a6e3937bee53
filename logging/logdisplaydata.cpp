// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "app/numbers.h"
#include "logging/csv.h"
#include "logging/logfile.h"
#include "logging/logwriter.h"

// A snapshot of every occupied display row, the texts as they are shown
// (Value 2 is not logged). The Date field is the day the row's reading was
// received, so a reading of 23:58 yesterday keeps yesterday's date; a row
// with no reading (a number typed in) takes the snapshot's own date.
void ModFunctions::LogDisplayData()
{
    const LogWriter::Batch oneOpen(m_log); // the header, if new, and the lines in one write
    if (!logFileReady(m_ui.chklogen->isChecked(), m_g, *this, m_log))
        return;
    const QString today = logDate(m_g.daystr, m_g.monthstr, m_g.yearstr);
    for (m_g.rowidx = 0; m_g.rowidx < kDisplayRows; ++m_g.rowidx) {
        const auto row = std::size_t(m_g.rowidx);
        if (leadingNumber(m_ui.txttx[row]->text()) == 0)
            continue;
        const QString &received = m_g.rowdate[row];
        m_log.append(m_g.logfilename,
                     csvLine({m_ui.txttx[row]->text(), m_ui.txsignal[row]->text(), m_ui.txtcount[row]->text(),
                              m_ui.txtlog[row]->text(), received.isEmpty() ? today : received}));
    }
}
