// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive poll: a message is the burst of bytes that has stopped growing
// for one tick (or one of the whole frames such a burst is made of). It is
// read, checked and handed on by its type code.
#include "app/clock.h"
#include "app/colours.h"
#include "app/controls.h"
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "comms/commsport.h"
#include "reception/crc16.h"
#include "reception/frame.h"
#include "reception/messagefeed.h"

void ModFunctions::ReadComms()
{
    const int waiting = commsport.inBufferCount();
    if (waiting < 1)
        return;
    if (waiting != m_g.rxcount) {
        m_g.rxcount = waiting; // still arriving: wait for a quiet tick
        return;
    }

    // Two transmitters heard back to back leave no quiet tick between their
    // frames: a burst of nothing but whole, valid frames is that many
    // messages, each handled in turn as if it had come alone.
    const QByteArray burst = commsport.input();
    const qsizetype length = backToBackFrames(burst) > 0 ? kTelemetryFrameLength : burst.size();
    const bool feeding = m_feed.isListened();
    const QDateTime framed = feeding ? m_clock.now() : QDateTime();
    for (qsizetype from = 0; from < burst.size(); from += length) {
        m_g.instring = burst.mid(from, length);
        m_handled = HandledMessage{};
        m_handled.framed = framed;
        m_handled.bytes = m_g.instring;
        m_g.rxcount = std::int32_t(m_g.instring.size());
        if (m_g.rxcount > kLongestMessage) {
            m_g.instring = QByteArrayLiteral("XX");
            m_g.rxcount = 2;
        }
        for (int i = 1; i <= m_g.rxcount; ++i)
            m_g.rxbytes[i] = static_cast<unsigned char>(m_g.instring.at(i - 1));

        setTextColour(m_ui.txtinstring, m_g.rxcount < kRedFromLength ? kBlack : kRed);

        CheckCRC();

        // A message shorter than its frame would be decoded from what an earlier,
        // longer message left in rxbytes: such messages are shown as they came.
        const std::optional<TxType> type = telemetryType(m_g.rxbytes[kTypePosition]);
        if (type && m_g.crcok && m_g.rxcount >= kTelemetryFrameLength) {
            DecodeMessage(*type);
        } else {
            if (m_g.rxbytes[kTypePosition] == kScanningType && m_g.rxcount >= kScanningLength)
                ScanningMessage();
            m_ui.txtinstring->setText(QString::fromLatin1(m_g.instring));
        }
        if (feeding) {
            m_handled.crcOk = m_g.crcok && m_handled.bytes.size() <= kLongestMessage;
            emit m_feed.handled(m_handled);
        }

        // The message's bytes left the port with input(): whatever has
        // arrived since is the start of the next message and stays waiting.
        m_g.instring.clear();
    }
}

void ModFunctions::CheckCRC()
{
    std::array<std::uint8_t, kCrcCoveredLength> covered{};
    for (int i = 0; i < kCrcCoveredLength; ++i)
        covered[std::size_t(i)] = static_cast<std::uint8_t>(m_g.rxbytes[kCrcFirstPosition + i]);
    const std::uint16_t crc = crc16Modbus(covered);
    m_g.crclo = crcLow(crc);
    m_g.crchi = crcHigh(crc);
    m_g.crcok = m_g.rxbytes[kCrcLowPosition] == m_g.crclo && m_g.rxbytes[kCrcHighPosition] == m_g.crchi;
}
