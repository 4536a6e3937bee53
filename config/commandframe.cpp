// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "config/commandframe.h"

#include "app/numbers.h"
#include "reception/crc16.h"

#include <cmath>

namespace {

char byteOf(std::int64_t value)
{
    return static_cast<char>(static_cast<unsigned char>(value & 0xFF));
}

QByteArray threeBytes(std::int64_t high, std::int64_t mid, std::int64_t low)
{
    QByteArray field;
    field.append(byteOf(high));
    field.append(byteOf(mid));
    field.append(byteOf(low));
    return field;
}

QString addressRange()
{
    return QStringLiteral("outside 0 to ") + QString::number(kMaxAddress);
}

} // namespace

QByteArray withCrc(QByteArray frame)
{
    const std::uint16_t crc = crc16Modbus(frame);
    frame.append(static_cast<char>(crcLow(crc)));
    frame.append(static_cast<char>(crcHigh(crc)));
    return frame;
}

BytesOrRefusal modeByte(const QString &text)
{
    const double value = leadingNumber(text);
    const auto mode = roundHalfEven(value);
    if (!mode || *mode < 0 || *mode > kMaxMode) {
        return Refusal{QStringLiteral("mode ") + formatNumber(value) + QStringLiteral(" is outside 0 to ")
                       + QString::number(kMaxMode)};
    }
    return QByteArray(1, byteOf(*mode));
}

BytesOrRefusal addressField(const QString &text)
{
    const double v = leadingNumber(text);
    const auto rounded = roundHalfEven(v);
    // Any value below 0 is refused, even one that would round to 0 (-0.4):
    // a negative number typed as an address is a mistake, not address 0.
    if (!std::isfinite(v) || v < 0 || !rounded || *rounded > kMaxAddress)
        return Refusal{QStringLiteral("address ") + formatNumber(v) + QStringLiteral(" is ") + addressRange()};

    // Rounded once; all three bytes come from that one whole number, so a
    // fraction can never put the bytes of two different addresses together.
    const std::int64_t progaddr = *rounded;
    return threeBytes(progaddr / kHighByteWeight, progaddr / kMidByteWeight, progaddr);
}

BytesOrRefusal modeFrame(const QString &modeText)
{
    const BytesOrRefusal payload = modeByte(modeText);
    if (const auto *refusal = std::get_if<Refusal>(&payload))
        return Refusal{QStringLiteral("Set Mode not sent: ") + refusal->reason};
    return withCrc(QByteArrayLiteral("AT=") + std::get<QByteArray>(payload));
}

BytesOrRefusal addressFrame(const QString &commandName, const QStringList &addressTexts)
{
    QByteArray frame = QByteArrayLiteral("AP");
    for (qsizetype i = 0; i < addressTexts.size(); ++i) {
        const BytesOrRefusal field = addressField(addressTexts[i]);
        if (std::holds_alternative<Refusal>(field)) {
            return Refusal{commandName + QStringLiteral(" not sent: address box ") + QString::number(i + 1)
                           + QStringLiteral(" holds ") + formatNumber(leadingNumber(addressTexts[i]))
                           + QStringLiteral(", ") + addressRange()};
        }
        frame += std::get<QByteArray>(field);
    }
    return withCrc(frame);
}

QString commandFrameProblem(const QByteArray &payload)
{
    static const QByteArray mode = QByteArrayLiteral("AT=");
    static const QByteArray address = QByteArrayLiteral("AP");
    const bool isMode = payload.startsWith(mode);
    const bool isAddress = payload.startsWith(address);
    if (!isMode && !isAddress) {
        const bool startsAsOne = mode.startsWith(payload) || address.startsWith(payload);
        return startsAsOne ? QStringLiteral("wrong length") : QStringLiteral("wrong prefix");
    }
    const qsizetype n = payload.size();
    if (isMode ? n != kModeFrameLength : n != kAddress3FrameLength && n != kAddress8FrameLength)
        return QStringLiteral("wrong length");
    if (withCrc(payload.first(n - 2)) != payload)
        return QStringLiteral("bad CRC");
    return {};
}
