// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Soak: the receiver's device vanishes and comes back again and again while
// frames flow, through real pseudo-terminals, the real QSerialPort and the
// console's own timers. Every frame the console received while its port was
// open must reach the message log, once, in order; the console never stops.
// HALVERN_SOAK_CYCLES sets the number of vanishings (bench/soak runs 100).
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "app/receivetick.h"
#include "comms/qtcommsport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

constexpr int kFramesPerCycle = 5;

int cyclesWanted()
{
    const int wanted = qEnvironmentVariableIntValue("HALVERN_SOAK_CYCLES");
    return wanted > 0 ? wanted : 10;
}

// The frame with sequence number `n`: its transmitter number is the number,
// so the log shows which frames arrived and in which order.
QByteArray numberedFrame(int n)
{
    return telemetryFrame(0x81, n, 0x01, 0, 0, n & 0xFF, 9);
}

struct LiveConsole {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("receiver"));
    QString logFile = dir.filePath(QStringLiteral("halvernlog08122026.csv"));
    QtCommsPort port{PortMap({{1, link}})};
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    std::unique_ptr<Mainscreen> window;
    long ticks = 0;

    // The console starts with `device` behind the link, as its port probe needs.
    explicit LiveConsole(const QString &device)
    {
        PtyPair::relink(link, device);
        window = std::make_unique<Mainscreen>(port, clock);
        window->Form_Load(); // timers run: the console polls by itself
        QObject::connect(window->tmrcomms, &QTimer::timeout, [this] { ++ticks; });
        window->txtfilepath->setText(dir.path() + QLatin1Char('/'));
        window->chklogen->setChecked(true);
        window->optall->setChecked(true);
    }
    Mainscreen &w() { return *window; }

    // Transmitter numbers of the logged lines, in file order.
    QList<int> logged() const
    {
        QFile file(logFile);
        QList<int> numbers;
        if (!file.open(QIODevice::ReadOnly))
            return numbers;
        file.readLine(); // header
        while (!file.atEnd())
            numbers.append(file.readLine().split(',').first().toInt());
        return numbers;
    }
};

} // namespace

class TestSoakVanish : public QObject {
    Q_OBJECT
private slots:
    void deviceVanishesAndReturnsWhileFramesFlow();
    void frameTakenInJustBeforeTheDeviceVanishesIsLogged();
};

// Each cycle: a fresh device behind the link, frames at the receiver's pace
// (one every 35 ms), and the device pulled at once after the last of them
// has arrived at the console, before its poll has taken it in.
void TestSoakVanish::deviceVanishesAndReturnsWhileFramesFlow()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    LiveConsole c(pty->devicePath());
    c.w().optcom[1]->click();
    const int cycles = cyclesWanted();
    QList<int> sent;
    int next = 1;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle > 0) {
            pty = std::make_unique<PtyPair>();
            QVERIFY(pty->isOpen());
            QVERIFY(PtyPair::relink(c.link, pty->devicePath()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(c.port.portOpen(), 5000); // retried once a second

        QTimer pump;
        int pumped = 0;
        pump.callOnTimeout([&] {
            if (pumped == kFramesPerCycle - 1)
                return pump.stop();
            QVERIFY(pty->write(numberedFrame(next)));
            sent.append(next++);
            ++pumped;
        });
        pump.start(35);
        QTRY_VERIFY_WITH_TIMEOUT(!pump.isActive(), 10000);
        QTRY_COMPARE(c.logged(), sent);

        // The last frame arrives whole while the poll is held back, then the device goes.
        c.w().receiveTick().stop();
        QVERIFY(pty->write(numberedFrame(next)));
        sent.append(next++);
        QTRY_COMPARE(c.port.inBufferCount(), 11);
        pty->closeMaster();
        QTRY_VERIFY(!c.port.portOpen());
        c.w().receiveTick().start();
        QTRY_COMPARE(c.logged(), sent);
        QTRY_VERIFY(c.w().txtinstring->text().contains(QLatin1String("lost")));
    }

    QTRY_VERIFY(c.w().receiveTick().asleep()); // the poll waits for bytes, not stopped
    QVERIFY(c.w().optcom[1]->isChecked());
    QCOMPARE(c.logged().size(), cycles * kFramesPerCycle);
}

// The device vanishes in the moment between a frame's arrival and the tick
// that would take it in, and again half-way through a frame: the whole frame
// is logged, the half one is not.
void TestSoakVanish::frameTakenInJustBeforeTheDeviceVanishesIsLogged()
{
    PtyPair pty;
    LiveConsole c(pty.devicePath());
    c.w().optcom[1]->click();
    QVERIFY(c.port.portOpen());

    c.w().receiveTick().stop();
    QVERIFY(pty.write(numberedFrame(7)));
    QTRY_COMPARE(c.port.inBufferCount(), 11);
    pty.closeMaster();
    QTRY_VERIFY(!c.port.portOpen());
    QTRY_COMPARE(c.logged(), QList<int>{7});                                // taken in once the loss is handled
    QTRY_VERIFY(c.w().txtinstring->text().contains(QLatin1String("lost"))); // the notice has the last word

    PtyPair again;
    QVERIFY(PtyPair::relink(c.link, again.devicePath()));
    QTRY_VERIFY_WITH_TIMEOUT(c.port.portOpen(), 5000);
    QVERIFY(again.write(numberedFrame(8).left(6)));
    QTRY_COMPARE(c.port.inBufferCount(), 6);
    again.closeMaster();
    QTRY_VERIFY(!c.port.portOpen());
    const long ticksBefore = c.ticks;
    c.w().receiveTick().start();
    QTRY_VERIFY(c.ticks > ticksBefore && c.w().receiveTick().asleep()); // the half frame taken in, then asleep
    QCOMPARE(c.logged(), QList<int>{7});
    QCOMPARE(c.port.inBufferCount(), 0);
}

QTEST_GUILESS_MAIN(TestSoakVanish)
#include "tst_soak_vanish.moc"
