// The telemetry decoders: the message's values go into the program-wide
// variables, its account into msgtext, and the display table takes it over.
#include "app/globaldec.h"
#include "app/modfunctions.h"

void ModFunctions::DecodeMessage(TxType type)
{
    TelemetryFrame frame{};
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(g.rxbytes[i + 1]);
    const Reading reading = decodeTelemetry(type, frame);

    g.txno = reading.txno;
    g.msgtext = reading.msgtext;
    g.slevel = reading.slevel;
    g.txstatus = reading.txstatus;
    switch (type) {
    case TxType::Temperature:
        g.tempvalue = reading.tempvalue;
        break;
    case TxType::Pulse:
        g.logvalue = reading.count;
        break;
    case TxType::Contact:
    case TxType::Alarm:
        g.logvalue = reading.count;
        g.ch1text = reading.ch1text;
        g.ch2text = reading.ch2text;
        break;
    case TxType::GullyPot:
        g.lowadc = reading.lowadc;
        g.highadc = reading.highadc;
        break;
    }
    UpdateDisplayRows();
}
