// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes a script for the receiver simulator (--script) out of timed phases:
//   halvern-bench-script [--baud RATE] PHASE...   with PHASE = valid:SECONDS or flood:SECONDS
// valid: well-formed frames of all five types from eight transmitters, each
//        after 30 ms of silence, the shortest the console frames reliably.
// flood: random bytes with no silence, in bursts of one minute of line time
//        each (the simulator keeps 30 ms between bursts, its least gap); a
//        burst is written over lines led by "...", as the simulator reads at
//        most 4096 bytes a line.
// Prints the script on stdout and "frames=N" on stderr: the valid frames in it.
#include "reception/crc16.h"
#include "reception/frame.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QStringList>

#include <array>
#include <cstdio>

namespace {

constexpr int kGapMs = 30;
constexpr int kBitsPerByte = 10;
// Bytes a line of a flood burst: 3 characters each, well inside the 4096 a line.
constexpr qsizetype kBytesPerLine = 1024;

struct Transmitter {
    std::uint8_t type;
    std::uint32_t txno;
};

constexpr std::array<Transmitter, 8> kTransmitters{{
    {kTemperatureCode, 74565},
    {kPulseCode, 7},
    {kContactCode, 4096},
    {kAlarmCode, 4097},
    {kGullyPotCode, 512},
    {kTemperatureCode, 1200},
    {kPulseCode, 16777215},
    {kContactCode, 33},
}};

QByteArray frame(const Transmitter &tx, QRandomGenerator &random)
{
    const auto byte = [&random] { return static_cast<std::uint8_t>(random.bounded(256)); };
    const std::array<std::uint8_t, 8> covered{static_cast<std::uint8_t>(tx.txno >> 16),
                                              static_cast<std::uint8_t>(tx.txno >> 8),
                                              static_cast<std::uint8_t>(tx.txno),
                                              static_cast<std::uint8_t>(byte() & 0x8F),
                                              static_cast<std::uint8_t>(tx.type == kTemperatureCode ? 0 : byte()),
                                              byte(),
                                              byte(),
                                              byte()};
    const std::uint16_t crc = crc16Modbus(covered);
    QByteArray bytes(1, char(tx.type));
    for (std::uint8_t b : covered)
        bytes.append(char(b));
    bytes.append(char(crcLow(crc)));
    bytes.append(char(crcHigh(crc)));
    return bytes;
}

// One message after the least silence, spread over as many lines as it needs.
void printMessage(const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size(); at += kBytesPerLine) {
        if (at == 0)
            std::printf("+%dms ", kGapMs);
        else
            std::fputs("... ", stdout);
        std::printf("%s\n", bytes.mid(at, kBytesPerLine).toHex(' ').constData());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList phases = app.arguments().mid(1);
    int baud = 19200;
    if (phases.size() >= 2 && phases.first() == QLatin1String("--baud")) {
        baud = phases.at(1).toInt();
        phases = phases.mid(2);
    }
    const double bytesPerSecond = double(baud) / kBitsPerByte;
    QRandomGenerator random(13);
    long frames = 0;
    for (const QString &phase : phases) {
        const QString kind = phase.section(u':', 0, 0);
        const double seconds = phase.section(u':', 1, 1).toDouble();
        if (seconds <= 0 || (kind != QLatin1String("valid") && kind != QLatin1String("flood"))) {
            std::fprintf(stderr, "usage: halvern-bench-script [--baud RATE] valid:SECONDS|flood:SECONDS ...\n");
            return 2;
        }
        if (kind == QLatin1String("valid")) {
            const double perFrame = kTelemetryFrameLength / bytesPerSecond + kGapMs / 1000.0;
            const long count = long(seconds / perFrame);
            for (long i = 0; i < count; ++i, ++frames)
                printMessage(frame(kTransmitters[std::size_t(frames) % kTransmitters.size()], random));
        } else {
            const long total = long(seconds * bytesPerSecond);
            const long perBurst = long(60 * bytesPerSecond);
            for (long done = 0; done < total; done += perBurst) {
                QByteArray bytes(qsizetype(std::min(perBurst, total - done)), '\0');
                for (char &b : bytes)
                    b = char(random.bounded(256));
                printMessage(bytes);
            }
        }
    }
    std::fprintf(stderr, "frames=%ld\n", frames);
    return 0;
}
