// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "traffic.h"

#include "reception/crc16.h"
#include "reception/frame.h"

#include <algorithm>
#include <array>

int defaultGapMs(Profile profile)
{
    switch (profile) {
    case Profile::Busy: return 30;
    case Profile::Scanning: return 250;
    case Profile::Steady:
    case Profile::Noisy: break;
    }
    return 1000;
}

namespace {
// An 11-byte telemetry frame: type, transmitter number (MSB first), status,
// three data bytes, signal byte, then the CRC of positions 2..9, low byte first.
QByteArray telemetryFrame(std::uint8_t typeCode, std::uint32_t txno, std::uint8_t status, std::uint8_t d1,
                          std::uint8_t d2, std::uint8_t d3, std::uint8_t signal)
{
    const std::array<std::uint8_t, 8> covered{static_cast<std::uint8_t>(txno >> 16),
                                              static_cast<std::uint8_t>(txno >> 8),
                                              static_cast<std::uint8_t>(txno),
                                              status,
                                              d1,
                                              d2,
                                              d3,
                                              signal};
    const std::uint16_t crc = crc16Modbus(covered);
    QByteArray frame;
    frame.append(static_cast<char>(typeCode));
    for (std::uint8_t byte : covered)
        frame.append(static_cast<char>(byte));
    frame.append(static_cast<char>(crcLow(crc)));
    frame.append(static_cast<char>(crcHigh(crc)));
    return frame;
}

constexpr std::array<std::uint8_t, 5> typeCodes{kTemperatureCode, kPulseCode, kContactCode, kAlarmCode, kGullyPotCode};
} // namespace

Traffic::Traffic(const TrafficOptions &options) : m_options(options), m_random(options.seed)
{
    if (m_options.profile == Profile::Busy) {
        // More transmitters than the console has display rows, so rows run out.
        for (int i = 0; i < 60; ++i)
            m_transmitters.append({typeCodes[static_cast<std::size_t>(pick(5))],
                                   static_cast<std::uint32_t>(1 + pick(std::uint32_t(kHighestTxno))),
                                   static_cast<std::uint8_t>(pick(16))});
        m_transmitters.append({kPulseCode, std::uint32_t(kHighestTxno), 15});
    } else {
        // A handful, one of each kind, visited in turn.
        const std::array<std::uint32_t, 5> numbers{74565, 7, 4096, 4097, 512};
        for (std::size_t i = 0; i < typeCodes.size(); ++i)
            m_transmitters.append({typeCodes[i], numbers[i], static_cast<std::uint8_t>(1 + i)});
    }
}

Message Traffic::next()
{
    Message message;
    const bool busy = m_options.profile == Profile::Busy;
    message.pauseMs = m_options.gapMs + (busy ? pick(21) : pick(m_options.gapMs / 10 + 1));

    const bool noisy = m_options.profile == Profile::Noisy;
    if (m_options.profile == Profile::Scanning) {
        message.bytes = QByteArray("S") + static_cast<char>(pick(256)); // no CRC
    } else if ((noisy || m_options.longBurst) && oneIn(10)) {
        message.bytes = garbage(251, 300);
    } else if (noisy && oneIn(8)) {
        message.bytes = garbage(3, 20);
    } else {
        const int count = static_cast<int>(m_transmitters.size());
        Transmitter &tx = m_transmitters[busy ? pick(count) : m_nextTx];
        if (!busy)
            m_nextTx = (m_nextTx + 1) % count;
        message.bytes = frameFrom(tx);
        if ((noisy || m_options.badCrc) && oneIn(5))
            message.bytes[9 + pick(2)] ^= static_cast<char>(1 + pick(255));
    }
    return message;
}

QByteArray Traffic::frameFrom(Transmitter &tx)
{
    std::uint8_t status = static_cast<std::uint8_t>(tx.firmware | (oneIn(10) ? 0x80 : 0));
    std::uint8_t d1 = 0, d2 = 0;
    std::uint8_t d3 = static_cast<std::uint8_t>(pick(256));
    if (tx.typeCode == kTemperatureCode) {
        tx.halfDegrees = std::clamp(tx.halfDegrees + pick(5) - 2, -40, 100);
        if (oneIn(20)) {
            d1 = 0x80; // sensor error
        } else {
            d1 = static_cast<std::uint8_t>(tx.halfDegrees < 0 ? 1 : 0); // negative flag
            d2 = static_cast<std::uint8_t>(tx.halfDegrees < 0 ? 256 + tx.halfDegrees : tx.halfDegrees);
        }
    } else if (tx.typeCode == kGullyPotCode) {
        d1 = static_cast<std::uint8_t>(pick(256));
        d2 = static_cast<std::uint8_t>(pick(256));
    } else {
        // Pulse counts climb; contacts and alarms count the odd closure.
        tx.count = (tx.count + static_cast<std::uint32_t>(tx.typeCode == kPulseCode ? pick(20) : pick(2)))
                   & std::uint32_t(kHighestTxno);
        d1 = static_cast<std::uint8_t>(tx.count >> 16);
        d2 = static_cast<std::uint8_t>(tx.count >> 8);
        d3 = static_cast<std::uint8_t>(tx.count);
        status |= static_cast<std::uint8_t>(pick(4) << 4); // tamper / channel flags
    }
    const auto signal = static_cast<std::uint8_t>(pick(256));
    return telemetryFrame(tx.typeCode, tx.txno, status, d1, d2, d3, signal);
}

QByteArray Traffic::garbage(int minBytes, int maxBytes)
{
    QByteArray bytes(minBytes + pick(maxBytes - minBytes + 1), '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(pick(256));
    return bytes;
}
