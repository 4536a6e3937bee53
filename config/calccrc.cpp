// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Closing and sending a receiver command: the CRC of cmdstring, appended low
// byte first, and one write of the whole frame.
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "comms/commsport.h"
#include "config/commandname.h"
#include "reception/crc16.h"

void ModFunctions::CalcCRC()
{
    const std::uint16_t crc = crc16Modbus(m_g.cmdstring);
    m_g.crclo = crcLow(crc);
    m_g.crchi = crcHigh(crc);
}

void ModFunctions::SendCommand()
{
    CalcCRC();
    m_g.cmdstring.append(static_cast<char>(m_g.crclo));
    m_g.cmdstring.append(static_cast<char>(m_g.crchi));

    // A closed port is never written to; the user is told instead.
    if (!commsport.portOpen()) {
        m_ui.txtinstring->setText(commandName(m_g.cmdstring) + QStringLiteral(" not sent: no port is open"));
        return;
    }
    if (!commsport.output(m_g.cmdstring)) {
        const int port = commsport.commPort();
        m_ui.txtinstring->setText(
            commandName(m_g.cmdstring)
            + QStringLiteral(" not sent: writing to port %1 (%2) failed").arg(port).arg(commsport.deviceName(port)));
    }
}
