// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Soak: a dirty line. Garbage between frames, frames split over ticks, frames
// with garbage behind them, garbage glued in front of them, over-long bursts
// that overflow the port's buffer, scanning messages, frames of two
// transmitters back to back, all in a random but repeatable order, each burst
// followed by silence. The console must never stop, and every frame that
// arrived whole after a silence, alone or behind another, is decoded.
//
// Framing is by silence and a count latch that is not cleared after a
// message: a frame split over ticks whose first piece has exactly the length
// the latch holds (the previous message's, 2 after an over-long burst) is
// taken as a message of its own, and the frame is lost. That is the framing
// rule as specified; the soak checks it holds, and nothing worse happens.
// HALVERN_SOAK_FRAMING_EVENTS and HALVERN_SOAK_SEED vary the run.
#include "support/consolefixture.h"

#include "comms/commsport.h"
#include "reception/frame.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

int eventsWanted()
{
    const int wanted = qEnvironmentVariableIntValue("HALVERN_SOAK_FRAMING_EVENTS");
    return wanted > 0 ? wanted : 5000;
}

enum class Burst {
    Garbage,
    FrameWhole,
    FrameSplit,
    FrameThenGarbage,
    GarbageThenFrame,
    OverLong,
    Scanning,
    BackToBack
};

class DirtyLine {
public:
    explicit DirtyLine(quint32 seed) : random(seed) { c.openPort1(); }

    Console c;
    QRandomGenerator random;
    int framesWhole = 0, framesSplit = 0, framesCut = 0;

    int pick(int lowest, int highest) { return lowest + int(random.bounded(highest - lowest + 1)); }

    QByteArray garbage(int lowest, int highest)
    {
        QByteArray bytes(pick(lowest, highest), '\0');
        for (char &b : bytes)
            b = char(random.bounded(256));
        return bytes;
    }

    // Where a burst of `size` bytes is cut into `pieces` parts: the end of each part.
    QList<qsizetype> cutPoints(qsizetype size, int pieces)
    {
        pieces = int(std::min<qsizetype>(pieces, size));
        QList<qsizetype> cuts;
        while (cuts.size() < pieces - 1) {
            const qsizetype cut = 1 + qsizetype(random.bounded(quint32(size - 1)));
            if (!cuts.contains(cut))
                cuts.append(cut);
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.append(size);
        return cuts;
    }

    // The parts arrive one before each tick, then the line is silent for two
    // to four ticks, and for as long as the poll still finds bytes waiting (a
    // flood beyond the port's buffer is read out a buffer at a time).
    void deliver(const QByteArray &bytes, const QList<qsizetype> &cuts)
    {
        qsizetype from = 0;
        for (qsizetype cut : cuts) {
            c.port.receive(bytes.mid(from, cut - from));
            c.w().tmrcomms_Timer();
            from = cut;
        }
        for (int silent = pick(2, 4); silent > 0 || c.port.inBufferCount() > 0; --silent)
            c.w().tmrcomms_Timer();
    }
    void deliver(const QByteArray &bytes, int pieces = 1) { deliver(bytes, cutPoints(bytes.size(), pieces)); }
};

} // namespace

class TestSoakFraming : public QObject {
    Q_OBJECT
private slots:
    void everyFrameThatArrivedWholeIsDecoded();
};

void TestSoakFraming::everyFrameThatArrivedWholeIsDecoded()
{
    const quint32 seed = qEnvironmentVariableIsSet("HALVERN_SOAK_SEED")
                             ? quint32(qEnvironmentVariableIntValue("HALVERN_SOAK_SEED"))
                             : 20261208;
    DirtyLine line(seed);
    const int events = eventsWanted();
    for (int n = 1; n <= events; ++n) {
        const auto burst = Burst(line.random.bounded(8));
        const QByteArray frame = telemetryFrame(kTemperatureCode, n, 0x03, 0x00, 0x2B, 0x00, n % 16);
        const int latched = line.c.g().rxcount;
        bool decodable = true;
        switch (burst) {
        case Burst::Garbage: line.deliver(line.garbage(1, 40), line.pick(1, 3)); continue;
        case Burst::OverLong: line.deliver(line.garbage(251, 3000), line.pick(1, 6)); continue;
        case Burst::Scanning: line.deliver(QByteArray("S") + char(line.random.bounded(16))); continue;
        case Burst::FrameWhole:
            ++line.framesWhole;
            line.deliver(frame);
            break;
        case Burst::BackToBack: { // another transmitter just before: both decoded, this one last
            ++line.framesWhole;
            const QByteArray before = telemetryFrame(kPulseCode, 0x800000 + n, 0x01, 0, 0, 1, 9);
            const int inputs = line.c.port.inputs;
            line.deliver(before + frame);
            QCOMPARE(line.c.port.inputs, inputs + 1); // one burst
            break;
        }
        case Burst::FrameThenGarbage: // one burst: bytes past the eleventh are not examined
            ++line.framesWhole;
            line.deliver(frame + line.garbage(1, 40));
            break;
        case Burst::GarbageThenFrame: // one burst that does not start with the frame
            decodable = false;
            line.deliver(line.garbage(1, 40) + frame);
            break;
        case Burst::FrameSplit: {
            ++line.framesSplit;
            const QList<qsizetype> cuts = line.cutPoints(frame.size(), line.pick(2, 3));
            decodable = cuts.first() != latched; // else the latch takes the first piece alone
            line.framesCut += decodable ? 0 : 1;
            line.deliver(frame, cuts);
            break;
        }
        }
        if (decodable)
            QVERIFY2(line.c.g().txno == n,
                     qPrintable(QStringLiteral("seed %1, event %2: frame lost").arg(seed).arg(n)));
        else
            QVERIFY2(line.c.g().txno != n, qPrintable(QStringLiteral("seed %1, event %2").arg(seed).arg(n)));
        QCOMPARE(line.c.port.inBufferCount(), 0);
    }

    // Still framing after all that.
    line.deliver(telemetryFrame(kPulseCode, 424242, 0x01, 0, 0, 1, 9));
    QCOMPARE(line.c.g().txno, 424242);
    QVERIFY(line.framesWhole > events / 5);
    QVERIFY(line.framesSplit > events / 10);
    qInfo("%d frames whole, %d split, of which %d cut by the latch", line.framesWhole, line.framesSplit,
          line.framesCut);
}

QTEST_GUILESS_MAIN(TestSoakFraming)
#include "tst_soak_framing.moc"
