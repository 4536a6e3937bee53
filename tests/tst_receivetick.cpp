// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive tick on a fake port: when it sleeps, what wakes it, and where
// on its 10 ms grid the woken timer is set for. The test calls the tick as the
// running timer would (the timer stays active, its interval read back).
#include "support/consolefixture.h"

#include "app/receivetick.h"

#include <QTimer>
#include <QtTest>

using namespace std::chrono_literals;

class TestReceiveTick : public QObject {
    Q_OBJECT
private slots:
    // Steps: t a tick, r 11 bytes arrive, v the device vanishes, o port 1
    // clicked (opened), f "Off" clicked, s the tick stopped, g started.
    // After each step, whether the timer runs ('1') or not ('0').
    void timerRunsOnlyWhileThereIsSomethingToFrame_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("running");
        QTest::addColumn<int>("leftWaiting"); // bytes in the port at the end
        QTest::newRow("quiet line: asleep after one tick") << "t"
                                                           << "0" << 0;
        QTest::newRow("bytes wake it; framed, it sleeps") << "trtt"
                                                          << "0110" << 0;
        QTest::newRow("a burst still growing keeps it awake") << "trtrtt"
                                                              << "011110" << 0;
        QTest::newRow("closed port: asleep, and nothing arrives") << "ftr"
                                                                  << "100" << 0;
        QTest::newRow("reopened: arriving bytes wake it") << "ftotrtt"
                                                          << "1000110" << 0;
        QTest::newRow("lost with a frame left behind: read, then asleep") << "trvt"
                                                                          << "0110" << 0;
        QTest::newRow("stopped: arrivals do not start it") << "tsr"
                                                           << "000" << 11;
        QTest::newRow("started again: ticks, then sleeps") << "tsgt"
                                                           << "0010" << 0;
    }

    void timerRunsOnlyWhileThereIsSomethingToFrame()
    {
        QFETCH(QString, steps);
        QFETCH(QString, running);
        QFETCH(int, leftWaiting);
        Console c;
        c.openPort1();
        c.w().receiveTick().start();
        QString seen;
        for (const QChar step : steps) {
            switch (step.toLatin1()) {
            case 't': c.w().tmrcomms_Timer(); break;
            case 'r': c.port.receive(hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C")); break;
            case 'v': c.port.vanish(); break;
            case 'o': c.w().optcom[1]->click(); break;
            case 'f': c.w().optoff->click(); break;
            case 's': c.w().receiveTick().stop(); break;
            case 'g': c.w().receiveTick().start(); break;
            }
            seen += c.w().tmrcomms->isActive() ? u'1' : u'0';
        }
        QCOMPARE(seen, running);
        QCOMPARE(c.port.inBufferCount(), leftWaiting);
    }

    // Woken between grid points, the timer is set for the rest of the step
    // (rounded up to whole milliseconds, never early), then ticks every 10 ms.
    void wokenTimerKeepsTheGrid_data()
    {
        QTest::addColumn<qint64>("wokenAtUs");
        QTest::addColumn<qint64>("dueUs");
        QTest::addColumn<int>("firstWaitMs");
        QTest::newRow("just after a grid point") << qint64(40100) << qint64(50000) << 10;
        QTest::newRow("mid-step") << qint64(43500) << qint64(50000) << 7;
        QTest::newRow("just before a grid point") << qint64(49900) << qint64(50000) << 1;
        QTest::newRow("on a grid point") << qint64(60000) << qint64(60000) << 0;
        QTest::newRow("long after") << qint64(12345678) << qint64(12350000) << 5;
    }

    void wokenTimerKeepsTheGrid()
    {
        QFETCH(qint64, wokenAtUs);
        QFETCH(qint64, dueUs);
        QFETCH(int, firstWaitMs);
        Console c;
        c.openPort1();
        c.w().receiveTick().start(); // the grid from monotonic 0
        c.clock.setMonotonic(10ms);
        c.w().tmrcomms_Timer();
        QVERIFY(c.w().receiveTick().asleep());
        c.clock.setMonotonic(std::chrono::microseconds(wokenAtUs));
        c.port.receive(QByteArrayLiteral("abc"));
        QVERIFY(c.w().tmrcomms->isActive());
        QCOMPARE(c.w().tmrcomms->interval(), firstWaitMs);
        QCOMPARE(c.w().receiveTick().due(), std::chrono::microseconds(dueUs));
        c.clock.setMonotonic(c.w().receiveTick().due());
        c.w().tmrcomms_Timer(); // 3 bytes: still arriving
        QCOMPARE(c.w().tmrcomms->interval(), 10);
        QCOMPARE(c.w().receiveTick().due(), std::chrono::microseconds(dueUs) + 10ms);
    }
};

QTEST_GUILESS_MAIN(TestReceiveTick)
#include "tst_receivetick.moc"
