// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Port and baud-rate buttons: the start-up probe, "Off", reopening at a new
// rate, and waiting for a port that vanished.
#include "support/consolefixture.h"

#include <QTimer>
#include <QtTest>

namespace {
QList<int> visiblePorts(Mainscreen &w)
{
    QList<int> shown;
    for (int n = kFirstPort; n <= kLastPort; ++n)
        if (!w.optcom[n]->isHidden() && w.optcom[n]->isEnabled())
            shown.append(n);
    return shown;
}

struct ConsoleWithBusyPorts {
    FakeCommsPort port;
    ManualClock clock;
    std::unique_ptr<Mainscreen> window;
    explicit ConsoleWithBusyPorts(QSet<int> failing)
    {
        port.failingPorts = std::move(failing);
        window = std::make_unique<Mainscreen>(port, clock);
        window->Form_Load();
        window->tmrcomms->stop();
        window->tmrpctime->stop();
    }
};
} // namespace

class TestPortSelection : public QObject {
    Q_OBJECT
private slots:
    void startUpHidesPortsThatCannotOpenAndLeavesNoneOpen()
    {
        ConsoleWithBusyPorts c({2, 5, 6, 7, 8, 9, 10});
        Mainscreen &w = *c.window;
        QCOMPARE(visiblePorts(w), (QList<int>{1, 3, 4}));
        QVERIFY(!c.port.portOpen());
        QVERIFY(w.optoff->isChecked());
        QVERIFY(w.opt9600->isChecked());
        QCOMPARE(c.port.commPort(), 1);
        QCOMPARE(c.port.settings(), kDefaultSettings);
        QVERIFY(w.tmrcomms->interval() == 10 && w.tmrpctime->interval() == 1000);
    }

    void machineWithoutPortsHidesAllTen()
    {
        ConsoleWithBusyPorts c({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        QVERIFY(visiblePorts(*c.window).isEmpty());
        QVERIFY(c.window->optoff->isChecked());
    }

    void offBringsBackAPortThatWasFreed()
    {
        ConsoleWithBusyPorts c({3});
        QVERIFY(!visiblePorts(*c.window).contains(3));
        c.port.failingPorts.clear();
        c.window->optoff->click();
        QVERIFY(visiblePorts(*c.window).contains(3));
        QVERIFY(!c.port.portOpen());
    }

    void clickOnABusyPortLeavesNoPortButtonSelected()
    {
        Console c;
        c.port.failingPorts = {4};
        c.w().optcom[4]->click();
        QVERIFY(c.w().optcom[4]->isHidden());
        QVERIFY(!c.w().optcom[4]->isChecked());
        QVERIFY(!c.w().optoff->isChecked());
        QVERIFY(!c.port.portOpen());
    }

    void rateChosenWhileOffAppliesAtTheNextOpen()
    {
        Console c;
        c.port.opens.clear();
        c.w().opt19k2->click();
        QVERIFY(!c.port.portOpen());
        QVERIFY(c.port.opens.isEmpty());
        c.w().optcom[1]->click(); // opens at the rate the window shows
        QCOMPARE(c.port.opens, QList<QString>{QStringLiteral("1@") + kSettings19200});
        QVERIFY(c.w().opt19k2->isChecked());

        c.w().opt4800->click(); // open: reopens at once
        QCOMPARE(c.port.opens.last(), QStringLiteral("1@") + kSettings4800);
        QVERIFY(c.port.portOpen());
    }

    void anotherPortClosesTheFirst()
    {
        Console c;
        c.w().optcom[1]->click();
        c.w().optcom[3]->click();
        QVERIFY(c.port.portOpen());
        QCOMPARE(c.port.commPort(), 3);
        c.w().optoff->click();
        QVERIFY(!c.port.portOpen());
    }

    void lostPortIsWaitedForAndReopened()
    {
        Console c;
        c.w().optcom[2]->click();
        c.port.vanish();
        QVERIFY(!c.port.portOpen());
        QVERIFY(c.w().optcom[2]->isChecked());
        QVERIFY(c.w().txtinstring->text().contains(QLatin1String("/dev/fake2")));
        QVERIFY(c.w().tmrreopen->isActive());

        c.port.failingPorts = {2}; // still gone
        c.w().tmrreopen_Timer();
        QVERIFY(!c.port.portOpen());
        c.port.failingPorts.clear(); // back again
        c.w().tmrreopen_Timer();
        QVERIFY(c.port.portOpen());
        QCOMPARE(c.port.commPort(), 2);
        QVERIFY(c.w().txtinstring->text().contains(QLatin1String("back")));
        QVERIFY(!c.w().tmrreopen->isActive());
    }

    // A new rate reopens the device that is open, not what the number maps to now.
    void newRateReopensTheSameDevice()
    {
        Console c;
        c.port.devices = {{1, "/dev/ttyUSB0"}};
        c.w().optcom[1]->click();
        c.port.devices = {{1, "/dev/ttyUSB1"}};
        c.w().opt19k2->click();
        QVERIFY(!c.port.portOpen()); // /dev/ttyUSB0 is no longer there
        QVERIFY(c.w().txtinstring->text().contains(QLatin1String("(/dev/ttyUSB0) lost")));
    }

    // The notice keeps its start and end and tells, between them, why the
    // device went or why it would not open again.
    void lostNoticeGivesTheReason_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("newRate");
        QTest::addColumn<QString>("notice");
        QTest::newRow("vanished") << "Input/output error" << false
                                  << "Port 2 (/dev/fake2) lost: Input/output error: waiting for it to come back";
        QTest::newRow("vanished, no reason") << "" << false << "Port 2 (/dev/fake2) lost: waiting for it to come back";
        QTest::newRow("refused at a new rate")
            << "Permission denied" << true
            << "Port 2 (/dev/fake2) lost: Permission denied: waiting for it to come back";
    }
    void lostNoticeGivesTheReason()
    {
        QFETCH(QString, reason);
        QFETCH(bool, newRate);
        QFETCH(QString, notice);
        Console c;
        c.port.failureReason = reason;
        c.w().optcom[2]->click();
        if (newRate) {
            c.port.devices = {{2, QStringLiteral("/dev/other")}};
            c.w().opt19k2->click();
        } else {
            c.port.vanish();
        }
        QCOMPARE(c.w().txtinstring->text(), notice);
        QCOMPARE(c.port.errorString(), reason);
    }

    void offEndsTheWaitForALostPort()
    {
        Console c;
        c.w().optcom[2]->click();
        c.port.vanish();
        c.w().optoff->click();
        QVERIFY(!c.w().tmrreopen->isActive());
        c.w().tmrreopen_Timer();
        QVERIFY(!c.port.portOpen());
    }
};

QTEST_GUILESS_MAIN(TestPortSelection)
#include "tst_portselection.moc"
