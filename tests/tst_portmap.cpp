// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Which device each port number stands for.
#include "comms/portmap.h"

#include "support/ptypair.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPortMap : public QObject {
    Q_OBJECT
private slots:
    void adaptersComeFirstInNaturalOrder()
    {
        const QStringList devices{"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyACM0", "/dev/ttyUSB2"};
        QCOMPARE(orderedSerialDevices(devices),
                 (QStringList{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyS10"}));
    }

    void overridesTakeTheirNumbersPlace()
    {
        const PortMap map({{1, "/dev/pts/7"}});
        const QStringList devices{"/dev/ttyUSB0", "/dev/ttyUSB1"};
        QCOMPARE(map.device(1, devices), QStringLiteral("/dev/pts/7"));
        QCOMPARE(map.device(2, devices), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(map.device(3, devices), QString());
        QCOMPARE(map.device(11, devices), QString());
    }

    // A folder of real links to real pseudo-terminals stands in for
    // /dev/serial/by-id; "adapter" and "plain" are devices, "gone" is not.
    void stableNameIsTheLinkThatPointsToTheDevice_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("expected");
        QTest::newRow("device with a link") << "adapter"
                                            << "by-id/usb-Halvern_RX-if00-port0";
        QTest::newRow("device without one") << "plain"
                                            << "plain";
        QTest::newRow("a link already") << "own-link"
                                        << "own-link";
        QTest::newRow("not there") << "gone"
                                   << "gone";
    }
    void stableNameIsTheLinkThatPointsToTheDevice()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        PtyPair adapter, plain, other;
        QTemporaryDir dir;
        QVERIFY(adapter.isOpen() && plain.isOpen() && other.isOpen() && dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("by-id"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::link(other.devicePath(), folder + QStringLiteral("/usb-Other-if00-port0")));
        QVERIFY(QFile::link(adapter.devicePath(), folder + QStringLiteral("/usb-Halvern_RX-if00-port0")));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent"), folder + QStringLiteral("/usb-Broken-if00")));
        QVERIFY(QFile::link(adapter.devicePath(), dir.filePath(QStringLiteral("own-link"))));
        const QMap<QString, QString> paths{{"adapter", adapter.devicePath()},
                                           {"plain", plain.devicePath()},
                                           {"own-link", dir.filePath("own-link")},
                                           {"gone", "/dev/pts/nonexistent"},
                                           {"by-id/usb-Halvern_RX-if00-port0", dir.filePath(expected)}};
        QCOMPARE(stableDeviceName(paths.value(given), folder), paths.value(expected));
        QCOMPARE(PortMap({}, folder).stableName(paths.value(given)), paths.value(expected));
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"
