// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The configuration buttons end to end: the console's real serial port on a
// pseudo-terminal, the test reading the frames where the receiver would.
#include "app/clock.h"
#include "app/mainscreen.h"
#include "comms/qtcommsport.h"
#include "support/ptypair.h"

#include <QTest>
#include <QTimer>

class TestCommandsPty : public QObject {
    Q_OBJECT

private slots:
    void framesReachTheReceiver_data();
    void framesReachTheReceiver();
};

void TestCommandsPty::framesReachTheReceiver_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QByteArray>("frames"); // both frames, as the receiver reads them

    QTest::newRow("mode 2, eight channels 1 to 8")
        << "2" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}
        << QByteArray::fromHex("41543D02C499"
                               "4150000001000002000003000004000005000006000007000008"
                               "5CC4");
    QTest::newRow("mode 255, eight channels at the top")
        << "255" << QStringList(8, QStringLiteral("16777215"))
        << QByteArray::fromHex("41543DFF0518"
                               "4150FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                               "F914");
}

void TestCommandsPty::framesReachTheReceiver()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, addresses);
    QFETCH(QByteArray, frames);

    PtyPair receiver;
    QVERIFY(receiver.isOpen());
    QtCommsPort port{PortMap({{1, receiver.devicePath()}})};
    ManualClock clock;
    Mainscreen w(port, clock);
    w.Form_Load();
    w.tmrcomms->stop();
    w.tmrpctime->stop();
    w.optcom_Click(1);
    QVERIFY(port.portOpen());

    w.txtmode->setText(mode);
    w.cmdprogmode_Click();
    const QByteArray modeFrame = frames.left(6);
    QByteArray received;
    QTRY_COMPARE(received += receiver.readAvailable(), modeFrame);

    for (int box = 1; box <= 8; ++box)
        w.txtadd[box]->setText(addresses[box - 1]);
    w.cmdprog8chadd_Click();
    QTRY_COMPARE(received += receiver.readAvailable(), frames);
    QCOMPARE(w.txtinstring->text(), QString()); // no complaint: both were sent

    w.optoff_Click();
}

QTEST_GUILESS_MAIN(TestCommandsPty)
#include "tst_commands_pty.moc"
