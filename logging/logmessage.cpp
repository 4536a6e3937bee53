// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "logging/csv.h"
#include "logging/logfile.h"
#include "logging/logwriter.h"

// One line for the current message. Its time and date are those of the last
// clock refresh, never the system clock's. Transmitter 0 leaves the file
// prepared but gets no line. While the folder is away the line waits.
void ModFunctions::LogMessage()
{
    const LogWriter::Batch oneOpen(m_log); // the header, if new, and the lines in one write
    if (!logFileReady(m_ui.chklogen->isChecked(), m_g, *this, m_log))
        return;
    if (m_g.txno == 0)
        return;
    m_log.append(m_g.logfilename,
                 csvLine({QString::number(m_g.txno), QString::number(m_g.slevel), QString::number(m_g.logvalue),
                          m_ui.txtmask->text(), logDate(m_g.daystr, m_g.monthstr, m_g.yearstr)}));
}
