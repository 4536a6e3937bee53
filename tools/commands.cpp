// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "commands.h"

#include "reception/crc16.h"

namespace {
const QByteArray modePrefix = QByteArrayLiteral("AT=");
const QByteArray addressPrefix = QByteArrayLiteral("AP");
constexpr qsizetype modeLength = 6, shortAddressLength = 13, longAddressLength = 28;

quint8 at(const QByteArray &bytes, qsizetype i)
{
    return static_cast<quint8>(bytes[i]);
}

// The last two bytes are the CRC of the rest; `frame` holds at least three.
bool crcMatches(const QByteArray &frame)
{
    const std::uint16_t crc = crc16Modbus(QByteArrayView(frame).chopped(2));
    return at(frame, frame.size() - 2) == crcLow(crc) && at(frame, frame.size() - 1) == crcHigh(crc);
}

bool isAddressFrame(const QByteArray &bytes, qsizetype length)
{
    return bytes.size() >= length && crcMatches(bytes.left(length));
}

// How many bytes at the front of `pending` make the next piece; 0 to wait.
qsizetype nextPieceLength(const QByteArray &pending, bool silent)
{
    const qsizetype size = pending.size();
    if (pending.startsWith(modePrefix))
        return size >= modeLength ? modeLength : (silent ? size : 0);
    if (pending.startsWith(addressPrefix)) {
        if (isAddressFrame(pending, shortAddressLength))
            return shortAddressLength;
        if (isAddressFrame(pending, longAddressLength))
            return longAddressLength;
        if (!silent)
            return 0;
        return size >= longAddressLength ? longAddressLength : size >= shortAddressLength ? shortAddressLength : size;
    }
    // Unknown bytes run up to the next thing that looks like a command.
    qsizetype next = -1;
    for (const QByteArray &prefix : {modePrefix, addressPrefix}) {
        const qsizetype found = pending.indexOf(prefix, 1);
        if (found > 0 && (next < 0 || found < next))
            next = found;
    }
    return next > 0 ? next : (silent ? size : 0);
}

QString describe(const QByteArray &piece)
{
    const auto crcText = [&piece] { return crcMatches(piece) ? QStringLiteral("crc ok") : QStringLiteral("crc BAD"); };
    if (piece.startsWith(modePrefix) && piece.size() == modeLength)
        return QStringLiteral("command AT= mode %1 %2 (%3)").arg(at(piece, 3)).arg(crcText(), hexBytes(piece));
    if (piece.startsWith(addressPrefix) && (piece.size() == shortAddressLength || piece.size() == longAddressLength)) {
        QStringList addresses;
        for (qsizetype i = 2; i + 3 <= piece.size() - 2; i += 3)
            addresses << QString::number(at(piece, i) << 16 | at(piece, i + 1) << 8 | at(piece, i + 2));
        return QStringLiteral("command AP addresses %1 %2 (%3)").arg(addresses.join(u' '), crcText(), hexBytes(piece));
    }
    return QStringLiteral("unknown: %1").arg(hexBytes(piece));
}
} // namespace

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QStringList takeCommands(QByteArray &pending, bool silent)
{
    QStringList lines;
    while (!pending.isEmpty()) {
        const qsizetype length = nextPieceLength(pending, silent);
        if (length == 0)
            break;
        lines << describe(pending.left(length));
        pending.remove(0, length);
    }
    return lines;
}
