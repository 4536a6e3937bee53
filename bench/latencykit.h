// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the latency drivers share: the pulse frames they play (a count that
// changes with every frame, so each reading is told apart), the percentile
// of their samples, a wait on the event loop, and the run itself: a broker,
// a pseudo-terminal with the real station on it, the frames played and the
// moment each was written, matched with what the far end hears.
#include "benchbroker.h"
#include "support/ptypair.h"

#include "reception/crc16.h"
#include "reception/frame.h"
#include "reception/telemetry.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

inline QByteArray pulseFrame(int txno, int count)
{
    QByteArray frame;
    for (int value : {int(kPulseCode), txno >> 16, txno >> 8, txno, 0x01, 0, count >> 8, count, 9 << 4})
        frame.append(char(value & 0xFF));
    const std::uint16_t crc = crc16Modbus(QByteArrayView(frame).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    frame.append(char(crcLow(crc)));
    frame.append(char(crcHigh(crc)));
    return frame;
}

// The value at `fraction` (0 to 1) of sorted `values`, nearest rank.
inline double percentile(const std::vector<double> &values, double fraction)
{
    const auto rank = std::size_t(std::max(1.0, std::ceil(fraction * double(values.size()))));
    return values[rank - 1];
}

// Runs the event loop (sleeping between events) until `done` or `ms` passed.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    QTimer wake; // so the deadline is seen when nothing else happens
    wake.start(20);
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Frames of five pulse transmitters in turn, each in one write, 50 to 100 ms
// apart at random (so the writes keep no phase against any 10 ms tick). A
// pseudo-terminal hands the whole frame over at once: the write is the
// moment a real line would deliver the frame's last byte. With
// HALVERN_BENCH_VERBOSE set, each write and each reading out of turn is said
// on standard error.
class LatencyRun {
public:
    static constexpr int kTransmitters = 5;

    // `figure` begins each line ("mqtt latency"); `firstTx` the transmitters.
    LatencyRun(const char *figure, int firstTx) : m_figure(figure), m_firstTx(firstTx) { m_clock.start(); }

    // --quick, --count N, --station PROGRAM; false (and said) on anything else.
    bool parse(const QStringList &args)
    {
        for (qsizetype i = 1; i < args.size(); ++i) {
            if (args[i] == QLatin1String("--quick"))
                m_count = 200;
            else if (args[i] == QLatin1String("--count") && i + 1 < args.size())
                m_count = args[++i].toInt();
            else if (args[i] == QLatin1String("--station") && i + 1 < args.size())
                m_stationProgram = args[++i];
            else
                return fail(QStringLiteral("usage: %1 [--quick] [--count N] [--station PROGRAM]")
                                .arg(QFileInfo(args.value(0)).fileName()))
                       == 0;
        }
        return true;
    }

    // The broker and the line; false (and said) if either is missing.
    bool prepare()
    {
        if (!broker.start())
            return fail(QStringLiteral("mosquitto did not start: ") + QString::fromUtf8(broker.log())) == 0;
        if (!line.isOpen())
            return fail(QStringLiteral("no pseudo-terminal")) == 0;
        return true;
    }

    // The station `name` on the line, publishing to the broker.
    void startStation(const QString &name)
    {
        m_station.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_station, &QProcess::readyRead, [this] { stationLog += m_station.readAll(); });
        m_station.start(m_stationProgram,
                        {QStringLiteral("--port"), line.devicePath(), QStringLiteral("--baud"), QStringLiteral("19200"),
                         QStringLiteral("--mqtt"), broker.url(), QStringLiteral("--station"), name});
    }

    // The far end heard a reading of `tx`: its latency if it is the oldest
    // frame not yet heard, else it is out of turn (`what` says it).
    void heard(int tx, const QByteArray &what = {})
    {
        const qint64 arrivedNs = m_clock.nsecsElapsed();
        if (m_pending.empty() || m_pending.front().tx != tx) {
            ++m_unexpected;
            if (qEnvironmentVariableIsSet("HALVERN_BENCH_VERBOSE"))
                std::fprintf(stderr, "out of turn at %.1f ms: %d %s\n", double(arrivedNs) / 1e6, tx, what.constData());
            return;
        }
        m_latenciesMs.push_back(double(arrivedNs - m_pending.front().writtenNs) / 1e6);
        m_pending.pop_front();
    }

    // Plays the frames, waits for the last to be heard, ends the station.
    void play()
    {
        QTimer next;
        next.setSingleShot(true);
        next.setTimerType(Qt::PreciseTimer);
        QObject::connect(&next, &QTimer::timeout, [&] {
            const int tx = m_firstTx + m_played % kTransmitters;
            if (!line.write(pulseFrame(tx, m_played))) {
                fail(QStringLiteral("a frame could not be written"));
                return;
            }
            m_pending.push_back({m_clock.nsecsElapsed(), tx});
            if (qEnvironmentVariableIsSet("HALVERN_BENCH_VERBOSE"))
                std::fprintf(stderr, "written at %.1f ms: %d\n", double(m_pending.back().writtenNs) / 1e6, tx);
            line.readAvailable(); // the station sends nothing back; keep the line clear
            if (++m_played < m_count)
                next.start(50 + int(QRandomGenerator::global()->bounded(51)));
        });
        next.start(0);
        waitFor([&] { return m_played == m_count; }, m_count * 200);
        waitFor([&] { return m_pending.empty(); }, 3000);
        m_station.terminate();
        m_station.waitForFinished(5000);
    }

    // The figure's line: `path` from where to where, `goalMs` its p99 goal,
    // `heardAs` and `outOfTurnAs` what it calls the two counts ("frames
    // heard", "readings out of turn"). A missed goal is said, not an error:
    // bench/run-all goes on to the next figure.
    int report(const char *path, int goalMs, const char *heardAs, const char *outOfTurnAs)
    {
        if (m_latenciesMs.empty())
            return fail(QStringLiteral("nothing was heard"));
        std::sort(m_latenciesMs.begin(), m_latenciesMs.end());
        std::printf("%s: %s: p50 %.1f ms, p99 %.1f ms, max %.1f ms (goal p99 <= %d ms); %zu/%d %s, %d %s\n", m_figure,
                    path, percentile(m_latenciesMs, 0.50), percentile(m_latenciesMs, 0.99), m_latenciesMs.back(),
                    goalMs, m_latenciesMs.size(), m_played, heardAs, m_unexpected, outOfTurnAs);
        return 0;
    }

    int fail(const QString &why) const
    {
        std::fprintf(stderr, "%s: %s\n", m_figure, qPrintable(why));
        return 1;
    }

    BenchBroker broker;
    PtyPair line;
    QByteArray stationLog; // what the station said

private:
    struct Pending {
        qint64 writtenNs;
        int tx;
    };
    const char *m_figure;
    int m_firstTx;
    int m_count = 400;
    QString m_stationProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/../halvern-station");
    QProcess m_station;
    QElapsedTimer m_clock;
    std::deque<Pending> m_pending; // written, not yet heard, oldest first
    std::vector<double> m_latenciesMs;
    int m_played = 0;
    int m_unexpected = 0;
};
