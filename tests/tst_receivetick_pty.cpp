// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive tick asleep on a quiet line, through a real pseudo-terminal and
// the real QSerialPort: it frames exactly what a tick that never sleeps
// frames, it stops on a quiet line and is woken by arriving bytes, also at
// open and after the device came back.
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "app/receivetick.h"
#include "comms/qtcommsport.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;
using std::chrono::microseconds;
using std::chrono::nanoseconds;

namespace {
struct LiveConsole {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("receiver"));
    PtyPair pty;
    QtCommsPort port{PortMap({{1, link}})};
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    std::unique_ptr<Mainscreen> window;
    QList<QByteArray> framed;

    LiveConsole()
    {
        PtyPair::relink(link, pty.devicePath());
        window = std::make_unique<Mainscreen>(port, clock);
        QObject::connect(&window->feed(), &MessageFeed::handled,
                         [this](const HandledMessage &message) { framed.append(message.bytes); });
        window->Form_Load(); // the tick starts, its grid at monotonic time 0
    }
    Mainscreen &w() { return *window; }
    bool ticking() const { return window->tmrcomms->isActive(); }
};

// One piece of traffic: `bytes` written `after` the piece before.
struct Piece {
    microseconds after;
    QByteArray bytes;
};

const QByteArray kFrame = hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C");

// Six frames, each in two pieces `split` apart, frames `apart` from the end of one to the next.
QList<Piece> framesInTwoPieces(microseconds split, microseconds apart)
{
    QList<Piece> traffic;
    for (int i = 0; i < 6; ++i) {
        traffic.append({i == 0 ? 3700us : apart, kFrame.left(4)});
        traffic.append({split, kFrame.mid(4)});
    }
    return traffic;
}

// Pieces of `size` bytes, the gaps before them taken in turn from `gaps`
// (in tenths of a millisecond). Pieces as long as the message before them are
// read at the first tick that sees them: where that tick falls decides
// whether a piece close behind joins them.
QList<Piece> piecesOf(int size, std::initializer_list<int> gaps)
{
    QList<Piece> traffic;
    char fill = 'a';
    for (int round = 0; round < 3; ++round) {
        for (const int gap : gaps)
            traffic.append({microseconds(gap * 100), QByteArray(size, fill++)});
    }
    return traffic;
}
} // namespace

class TestReceiveTickPty : public QObject {
    Q_OBJECT
private slots:
    void framingIsThatOfATickThatNeverSleeps_data();
    void framingIsThatOfATickThatNeverSleeps();
    void quietLineStopsTheTimerAndBytesStartIt();
    void bytesWaitingAtOpenAreRead();
    void portBackAfterALossWakesTheTick();
};

void TestReceiveTickPty::framingIsThatOfATickThatNeverSleeps_data()
{
    QTest::addColumn<QList<Piece>>("traffic");
    QTest::newRow("pieces 0.3 ms apart, frames 100 ms") << framesInTwoPieces(300us, 100000us);
    QTest::newRow("pieces 9.5 ms apart, frames 9.5 ms") << framesInTwoPieces(9500us, 9500us);
    QTest::newRow("pieces 10.5 ms apart, frames 10.5 ms") << framesInTwoPieces(10500us, 10500us);
    QTest::newRow("pieces 15 ms apart, frames 37 ms") << framesInTwoPieces(15000us, 37000us);
    QTest::newRow("pieces 19.5 ms apart, frames 23 ms") << framesInTwoPieces(19500us, 23000us);
    QTest::newRow("pieces 20.5 ms apart, frames 20.5 ms") << framesInTwoPieces(20500us, 20500us);
    QTest::newRow("pieces 12.2 ms apart, frames 1 s") << framesInTwoPieces(12200us, 1000000us);
    QTest::newRow("pieces 4 ms apart, frames 19.9 ms") << framesInTwoPieces(4000us, 19900us);
    QTest::newRow("4-byte pieces, gaps around one and two steps")
        << piecesOf(4, {250, 80, 310, 30, 195, 95, 105, 205, 60, 440, 99, 101, 199, 201, 37});
    QTest::newRow("11-byte pieces, short and long gaps") << piecesOf(11, {63, 270, 95, 140, 105, 33, 1200, 71, 215});
}

// Deterministic by virtual time: the test plays the event loop's timer
// dispatch itself. Bytes are written to the pty at their time on the
// console's monotonic clock (a ManualClock), and the event loop then runs
// with timers excluded until the port announces them; the console's own
// timer never fires by itself, the test calls the tick when the clock reaches
// the grid point the tick says it is set for (due()), as long as the timer
// is running. A reference console on a fake port, its timer stopped, is
// ticked at every 10 ms grid point whatever comes: a tick that never sleeps.
// Both must frame the same messages; the sleeping one ticks fewer times.
// Gaps just under and over one and two steps, at many phases of the grid
// (no gap is a whole number of steps), catch a woken timer off the grid.
void TestReceiveTickPty::framingIsThatOfATickThatNeverSleeps()
{
    QFETCH(QList<Piece>, traffic);
    LiveConsole c;
    c.w().optcom[1]->click();
    QVERIFY(c.port.portOpen());
    Console reference;
    reference.openPort1();
    QList<QByteArray> referenceFramed;
    connect(&reference.w().feed(), &MessageFeed::handled,
            [&](const HandledMessage &message) { referenceFramed.append(message.bytes); });
    QSignalSpy announced(&c.port, &CommsPort::arrived);

    nanoseconds arrival{0};
    nanoseconds referenceDue = ReceiveTick::kInterval;
    int sleepingTicks = 0, referenceTicks = 0;
    const nanoseconds end = [&] {
        nanoseconds sum{0};
        for (const Piece &piece : traffic)
            sum += piece.after;
        return sum + 200ms;
    }();
    qsizetype next = 0;
    while (true) {
        const nanoseconds nextArrival = next < traffic.size() ? arrival + traffic[next].after : nanoseconds::max();
        const nanoseconds sleepingDue = c.ticking() ? c.w().receiveTick().due() : nanoseconds::max();
        const nanoseconds now = std::min({nextArrival, sleepingDue, referenceDue});
        if (now > end)
            break;
        c.clock.setMonotonic(now);
        if (now == nextArrival) {
            const qsizetype before = announced.size();
            QVERIFY(c.pty.write(traffic[next].bytes));
            reference.port.receive(traffic[next].bytes);
            // Not QTest::qWaitFor: it would let the console's timer fire.
            const QDeadlineTimer deadline(5000);
            while (announced.size() == before && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::X11ExcludeTimers);
            QVERIFY(announced.size() > before);
            arrival = now;
            ++next;
            continue;
        }
        if (now == sleepingDue) {
            c.w().tmrcomms_Timer();
            ++sleepingTicks;
        }
        if (now == referenceDue) {
            reference.w().tmrcomms_Timer();
            ++referenceTicks;
            referenceDue += ReceiveTick::kInterval;
        }
    }
    QVERIFY(referenceFramed.size() >= 6);
    QCOMPARE(c.framed, referenceFramed);
    QVERIFY2(sleepingTicks < referenceTicks,
             qPrintable(QStringLiteral("%1 ticks of %2").arg(sleepingTicks).arg(referenceTicks)));
}

void TestReceiveTickPty::quietLineStopsTheTimerAndBytesStartIt()
{
    LiveConsole c;
    c.w().optcom[1]->click();
    QVERIFY(c.port.portOpen());
    QTRY_VERIFY(!c.ticking());
    QVERIFY(c.w().receiveTick().asleep());
    QVERIFY(c.pty.write(kFrame));
    QTRY_COMPARE(c.framed, QList<QByteArray>{kFrame});
    QTRY_VERIFY(!c.ticking()); // the line quiet again
    QVERIFY(c.pty.write(kFrame.left(5)));
    QTRY_COMPARE(c.w().txtinstring->text().size(), 5); // a burst of its own: woken again
}

void TestReceiveTickPty::bytesWaitingAtOpenAreRead()
{
    LiveConsole c;
    QTRY_VERIFY(!c.ticking()); // no port yet: nothing to tick for
    QVERIFY(c.pty.write(kFrame));
    QTRY_COMPARE(c.pty.waitingAtConsole(), kFrame.size());
    c.w().optcom[1]->click();
    QVERIFY(c.port.portOpen());
    QTRY_COMPARE(c.framed, QList<QByteArray>{kFrame});
}

void TestReceiveTickPty::portBackAfterALossWakesTheTick()
{
    LiveConsole c;
    c.w().optcom[1]->click();
    QVERIFY(c.port.portOpen());
    QTRY_VERIFY(!c.ticking());
    c.pty.closeMaster();
    QTRY_VERIFY(!c.port.portOpen());
    QTRY_VERIFY(!c.ticking()); // lost with nothing left behind: asleep
    PtyPair again;
    QVERIFY(PtyPair::relink(c.link, again.devicePath()));
    QTRY_VERIFY_WITH_TIMEOUT(c.port.portOpen(), 5000); // the reopen timer found it
    QTRY_VERIFY(!c.ticking());
    QVERIFY(again.write(kFrame));
    QTRY_COMPARE(c.framed, QList<QByteArray>{kFrame});
}

QTEST_GUILESS_MAIN(TestReceiveTickPty)
#include "tst_receivetick_pty.moc"
