// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The display table: every decoded message finds its transmitter's rows, or
// takes the first free one, and shows its values there. Around the table:
// the address filter of "Message Received" and the message log.
#include "app/colours.h"
#include "app/controls.h"
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "app/numbers.h"
#include "logging/csv.h"

namespace {
constexpr int kTamperBit = 16;

double numericValue(const TextBox *box)
{
    return box->value();
}

// The Value field of a message line: the temperature rounded half to even,
// the gully pot's low reading (the one its row shows), otherwise the count
// the decoder left in logvalue.
void setLogValue(GlobalDec &g, TxType type)
{
    if (type == TxType::Temperature)
        g.logvalue = roundHalfEven(g.tempvalue).value_or(0); // always finite: -128..255
    else if (type == TxType::GullyPot)
        g.logvalue = g.lowadc;
}
} // namespace

void ModFunctions::UpdateDisplayRows()
{
    const TxType type = telemetryType(m_g.rxbytes[1]).value_or(TxType::Temperature);

    // 1. Address filter: governs "Message Received" only.
    const double filter = numericValue(m_ui.txtaddfilter);
    if (filter == 0 || filter == m_g.txno)
        showText(m_ui.txtinstring, m_g.msgtext);

    // Transmitter 0 would match every free row: it is shown, nothing more.
    if (m_g.txno == 0)
        return;

    // 2. Log every message, whether or not the transmitter gets a row.
    if (m_ui.optall->isChecked()) {
        setLogValue(m_g, type);
        LogMessage();
    }

    // 3. Is the transmitter in the table already?
    m_g.txfound = false;
    for (m_g.rowidx = 0; m_g.rowidx < kDisplayRows; ++m_g.rowidx)
        if (numericValue(m_ui.txttx[m_g.rowidx]) == m_g.txno)
            m_g.txfound = true;

    // 4. Otherwise it takes the first free row (none when the table is full).
    if (!m_g.txfound) {
        for (m_g.rowidx = 0; m_g.rowidx < kDisplayRows; ++m_g.rowidx) {
            if (numericValue(m_ui.txttx[m_g.rowidx]) == 0) {
                m_ui.txttx[m_g.rowidx]->setText(QString::number(m_g.txno));
                break;
            }
        }
    }

    // 5. Every row of the transmitter shows the message.
    for (m_g.rowidx = 0; m_g.rowidx < kDisplayRows; ++m_g.rowidx) {
        const int k = m_g.rowidx;
        if (numericValue(m_ui.txttx[k]) != m_g.txno)
            continue;
        TextBox *value1 = m_ui.txtcount[k];
        TextBox *value2 = m_ui.txtzero[k];
        switch (type) {
        case TxType::Temperature:
            for (TextBox *box : {m_ui.txttx[k], m_ui.txsignal[k], m_ui.txtlog[k], value1, value2})
                setTextColour(box, kBlue);
            showText(value1, formatNumber(m_g.tempvalue));
            showText(value2, QStringLiteral("degC "));
            break;
        case TxType::Pulse:
            setTextColour(value1, (m_g.txstatus & kTamperBit) ? kRed : kBlack);
            for (TextBox *box : {m_ui.txtlog[k], value2, m_ui.txsignal[k]})
                setTextColour(box, kBlack);
            showText(value1, formatNumber(double(m_g.logvalue) - numericValue(value2))); // Value 2 is the zero offset
            break;
        case TxType::Contact:
        case TxType::Alarm:
        case TxType::GullyPot:
            for (TextBox *box : {value1, m_ui.txtlog[k], value2, m_ui.txsignal[k]})
                setTextColour(box, kBlack);
            if (type == TxType::GullyPot) {
                showText(value1, QString::number(m_g.lowadc));
                showText(value2, QString::number(m_g.highadc));
            } else {
                showText(value1, QString::number(m_g.logvalue));
                showText(value2, type == TxType::Contact ? m_g.ch1text + QLatin1Char(' ') + m_g.ch2text : m_g.ch1text);
            }
            break;
        }
        showText(m_ui.txsignal[k], QString::number(m_g.slevel));
        AddToHistory(m_g.slevel, m_g.txno);
        RedrawMonitor();
        UpdateClock();
        showText(m_ui.txtlog[k], m_ui.txtmask->text());
        m_g.rowdate[k] = logDate(m_g.daystr, m_g.monthstr, m_g.yearstr); // the day of that time, for snapshots
        if (m_ui.opttxonly->isChecked()) {
            showText(m_ui.txtpulsefilename, QStringLiteral("tx") + zeroPadded(m_g.txno, 6) + QLatin1Char('_'));
            setLogValue(m_g, type);
            LogMessage();
        }
    }
}
