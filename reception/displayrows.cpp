// The display table: every decoded message finds its transmitter's rows, or
// takes the first free one, and shows its values there. Around the table:
// the address filter of "Message Received" and the message log.
#include "app/colours.h"
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "app/numbers.h"
#include "app/widgetlook.h"
#include "logging/csv.h"

#include <QLineEdit>
#include <QRadioButton>

namespace {
constexpr int kTamperBit = 16;

double numericValue(const QLineEdit *box)
{
    return leadingNumber(box->text());
}

// The Value field of a message line: the temperature rounded half to even,
// the gully pot's low reading (the one its row shows), otherwise the count
// the decoder left in logvalue.
void setLogValue(GlobalDec &g, TxType type)
{
    if (type == TxType::Temperature)
        g.logvalue = roundHalfEven(g.tempvalue).value_or(0);   // always finite: -128..255
    else if (type == TxType::GullyPot)
        g.logvalue = g.lowadc;
}
} // namespace

void ModFunctions::UpdateDisplayRows()
{
    const TxType type = telemetryType(g.rxbytes[1]).value_or(TxType::Temperature);

    // 1. Address filter: governs "Message Received" only.
    const double filter = numericValue(ui.txtaddfilter);
    if (filter == 0 || filter == g.txno)
        showText(ui.txtinstring, g.msgtext);

    // Transmitter 0 would match every free row: it is shown, nothing more.
    if (g.txno == 0)
        return;

    // 2. Log every message, whether or not the transmitter gets a row.
    if (ui.optall->isChecked()) {
        setLogValue(g, type);
        LogMessage();
    }

    // 3. Is the transmitter in the table already?
    g.txfound = false;
    for (g.rowidx = 0; g.rowidx < kDisplayRows; ++g.rowidx)
        if (numericValue(ui.txttx[g.rowidx]) == g.txno)
            g.txfound = true;

    // 4. Otherwise it takes the first free row (none when the table is full).
    if (!g.txfound) {
        for (g.rowidx = 0; g.rowidx < kDisplayRows; ++g.rowidx) {
            if (numericValue(ui.txttx[g.rowidx]) == 0) {
                ui.txttx[g.rowidx]->setText(QString::number(g.txno));
                break;
            }
        }
    }

    // 5. Every row of the transmitter shows the message.
    for (g.rowidx = 0; g.rowidx < kDisplayRows; ++g.rowidx) {
        const int k = g.rowidx;
        if (numericValue(ui.txttx[k]) != g.txno)
            continue;
        QLineEdit *value1 = ui.txtcount[k];
        QLineEdit *value2 = ui.txtzero[k];
        switch (type) {
        case TxType::Temperature:
            for (QLineEdit *box : {ui.txttx[k], ui.txsignal[k], ui.txtlog[k], value1, value2})
                setTextColour(box, kBlue);
            showText(value1, formatNumber(g.tempvalue));
            showText(value2, QStringLiteral("degC "));
            break;
        case TxType::Pulse:
            setTextColour(value1, (g.txstatus & kTamperBit) ? kRed : kBlack);
            for (QLineEdit *box : {ui.txtlog[k], value2, ui.txsignal[k]})
                setTextColour(box, kBlack);
            showText(value1, formatNumber(double(g.logvalue) - numericValue(value2)));   // Value 2 is the zero offset
            break;
        case TxType::Contact:
        case TxType::Alarm:
        case TxType::GullyPot:
            for (QLineEdit *box : {value1, ui.txtlog[k], value2, ui.txsignal[k]})
                setTextColour(box, kBlack);
            if (type == TxType::GullyPot) {
                showText(value1, QString::number(g.lowadc));
                showText(value2, QString::number(g.highadc));
            } else {
                showText(value1, QString::number(g.logvalue));
                showText(value2, type == TxType::Contact ? g.ch1text + QLatin1Char(' ') + g.ch2text : g.ch1text);
            }
            break;
        }
        showText(ui.txsignal[k], QString::number(g.slevel));
        AddToHistory(g.slevel, g.txno);
        RedrawMonitor();
        UpdateClock();
        showText(ui.txtlog[k], ui.txtmask->text());
        g.rowdate[k] = logDate(g.daystr, g.monthstr, g.yearstr);   // the day of that time, for snapshots
        if (ui.opttxonly->isChecked()) {
            showText(ui.txtpulsefilename, QStringLiteral("tx") + zeroPadded(g.txno, 6) + QLatin1Char('_'));
            setLogValue(g, type);
            LogMessage();
        }
    }
}
