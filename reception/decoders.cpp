// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The telemetry decoders: the message's values go into the program-wide
// variables, its account into msgtext, and the display table takes it over.
#include "app/globaldec.h"
#include "app/modfunctions.h"

void ModFunctions::DecodeMessage(TxType type)
{
    TelemetryFrame frame{};
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(m_g.rxbytes[i + 1]);
    const Reading reading = decodeTelemetry(type, frame);
    m_handled.kind = HandledMessage::Kind::Reading;
    m_handled.reading = reading;

    m_g.txno = reading.txno;
    m_g.msgtext = reading.msgtext;
    m_g.slevel = reading.slevel;
    m_g.txstatus = reading.txstatus;
    switch (type) {
    case TxType::Temperature: m_g.tempvalue = reading.tempvalue; break;
    case TxType::Pulse: m_g.logvalue = reading.count; break;
    case TxType::Contact:
    case TxType::Alarm:
        m_g.logvalue = reading.count;
        m_g.ch1text = reading.ch1text;
        m_g.ch2text = reading.ch2text;
        break;
    case TxType::GullyPot:
        m_g.lowadc = reading.lowadc;
        m_g.highadc = reading.highadc;
        break;
    }
    UpdateDisplayRows();
}
