// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// End to end through a real pseudo-terminal and the real QSerialPort: the
// test plays the receiver on the master side, the console polls its port
// with its own timers.
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "comms/qtcommsport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
struct LiveConsole {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("receiver"));
    PtyPair pty;
    QtCommsPort port{PortMap({{1, link}})};
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    std::unique_ptr<Mainscreen> window;

    LiveConsole()
    {
        PtyPair::relink(link, pty.devicePath());
        window = std::make_unique<Mainscreen>(port, clock);
        window->Form_Load(); // timers run: the console polls by itself
        window->optcom[1]->click();
    }
    Mainscreen &w() { return *window; }
};
} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void burstsAreShownRaw()
    {
        LiveConsole c;
        QVERIFY(c.pty.isOpen());
        QVERIFY(c.port.portOpen());
        QVERIFY(c.pty.write(QByteArrayLiteral("hello receiver")));
        QTRY_COMPARE(c.w().txtinstring->text(), QStringLiteral("hello receiver"));
        QVERIFY(c.pty.write(QByteArray(300, 'Z')));
        QTRY_COMPARE(c.w().txtinstring->text(), QStringLiteral("XX"));
    }

    // The port reads the device when the event loop gets to it; a tick that
    // comes first must still count what the device holds, or it takes the
    // first piece of a frame for a whole message.
    void piecesStillInTheDeviceCountAsArriving()
    {
        LiveConsole c;
        c.w().tmrcomms->stop(); // the test ticks by hand
        const QByteArray frame = hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C");
        QVERIFY(c.pty.write(frame.left(4)));
        QTRY_COMPARE(c.port.inBufferCount(), 4);
        c.w().tmrcomms_Timer(); // 4 bytes: still arriving

        QVERIFY(c.pty.write(frame.mid(4))); // the event loop does not run from here
        QDeadlineTimer deadline(5000);
        while (c.port.inBufferCount() != frame.size() && !deadline.hasExpired()) {}
        QCOMPARE(c.port.inBufferCount(), frame.size());
        c.w().tmrcomms_Timer(); // 11: still arriving
        c.w().tmrcomms_Timer(); // quiet: read whole
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("74565"));
    }

    // A message is handled while the receiver goes on sending: the start of
    // the next frame, already in the device, must wait for the next poll.
    void frameBegunWhileAMessageIsHandledIsKept()
    {
        LiveConsole c;
        c.w().tmrcomms->stop(); // the test ticks by hand
        const QByteArray first = hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C");
        const QByteArray next = hexBytes("81 00 00 07 90 00 01 00 A0 D0 19");
        bool begun = false;
        QObject::connect(c.w().txttx[0], &TextBox::textChanged, [&] {
            begun = c.pty.write(next.left(4));
            QDeadlineTimer deadline(5000);
            while (c.pty.waitingAtConsole() < 4 && !deadline.hasExpired()) {}
        });
        QVERIFY(c.pty.write(first));
        QTRY_COMPARE(c.port.inBufferCount(), first.size());
        c.w().tmrcomms_Timer(); // 11: still arriving
        c.w().tmrcomms_Timer(); // quiet: read and handled
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("74565"));
        QVERIFY(begun);
        QVERIFY(c.pty.write(next.mid(4)));
        QTRY_COMPARE(c.port.inBufferCount(), next.size());
        c.w().tmrcomms_Timer(); // the length of the last message: read at once
        QCOMPARE(c.w().txttx[1]->text(), QStringLiteral("7"));
    }

    // Two transmitters heard back to back reach the console as one burst.
    void backToBackFramesAreEachLogged()
    {
        LiveConsole c;
        c.w().txtfilepath->setText(c.dir.path() + QLatin1Char('/'));
        c.w().chklogen->setChecked(true);
        c.w().optall->setChecked(true);
        QVERIFY(c.pty.write(hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C 81 00 00 07 90 00 01 00 A0 D0 19")));
        QTRY_COMPARE(c.w().txttx[1]->text(), QStringLiteral("7"));
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("74565"));
        QVERIFY(c.w().txtinstring->text().startsWith(QLatin1String("Pulse Tx: 7,")));
        QFile log(c.dir.filePath(QStringLiteral("halvernlog08122026.csv")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArrayLiteral("Tx Number,S-Level,Value,Time,Date\r\n"
                                                  "74565,7,22,09:05:07,8/12/2026\r\n"
                                                  "7,10,256,09:05:07,8/12/2026\r\n"));
    }

    void everyTypeReachesItsRowAndTheLog()
    {
        LiveConsole c;
        c.w().txtfilepath->setText(c.dir.path() + QLatin1Char('/'));
        c.w().chklogen->setChecked(true);
        c.w().optall->setChecked(true);
        const char *frames[] = {
            "82 01 23 45 03 00 2B 00 70 A8 7C", "81 00 00 07 90 00 01 00 A0 D0 19", "87 00 10 00 21 00 00 05 5F AE A5",
            "88 00 10 01 11 00 00 00 F0 AC 5C", "F3 00 02 00 84 2D C8 00 3A 9B 54",
        };
        const char *numbers[] = {"74565", "7", "4096", "4097", "512"};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(c.pty.write(hexBytes(frames[i])));
            QTRY_COMPARE(c.w().txttx[i]->text(), QString::fromLatin1(numbers[i]));
        }
        QCOMPARE(c.w().txtcount[1]->text(), QStringLiteral("256"));
        QFile log(c.dir.filePath(QStringLiteral("halvernlog08122026.csv")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArrayLiteral("Tx Number,S-Level,Value,Time,Date\r\n"
                                                  "74565,7,22,09:05:07,8/12/2026\r\n"
                                                  "7,10,256,09:05:07,8/12/2026\r\n"
                                                  "4096,5,5,09:05:07,8/12/2026\r\n"
                                                  "4097,15,0,09:05:07,8/12/2026\r\n"
                                                  "512,3,45,09:05:07,8/12/2026\r\n"));
    }

    void vanishedDeviceIsWaitedForAndReceivedFromAgain()
    {
        LiveConsole c;
        c.pty.closeMaster();
        QTRY_VERIFY(c.w().txtinstring->text().contains(QLatin1String("lost")));
        QVERIFY(!c.port.portOpen());
        QVERIFY(c.w().txtinstring->text().contains(c.link));
        QVERIFY(c.w().optcom[1]->isChecked());

        PtyPair replacement;
        QVERIFY(PtyPair::relink(c.link, replacement.devicePath()));
        QTRY_VERIFY_WITH_TIMEOUT(c.port.portOpen(), 5000); // retried once a second
        QVERIFY(c.w().txtinstring->text().contains(QLatin1String("back")));
        QVERIFY(replacement.write(hexBytes("81 00 00 07 90 00 01 00 A0 D0 19")));
        QTRY_COMPARE(c.w().txttx[0]->text(), QStringLiteral("7"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e_pty.moc"
