// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/ptypair.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

bool openPort(QSerialPort &port, const QString &path)
{
    port.setPortName(path);
    port.setBaudRate(9600);
    return port.open(QIODevice::ReadWrite);
}
} // namespace

class TestPtyPair : public QObject {
    Q_OBJECT

private slots:
    void opensADevice();
    void bytesPassUnchanged_data();
    void bytesPassUnchanged();
    void bytesWrittenBeforeThePortOpensWaitForIt();
    void closeMasterIsAHangUpForThePort();
    void relinkPointsALinkAtEachNewDevice();
    void relinkFailsWhereNoLinkCanBeMade();
};

void TestPtyPair::opensADevice()
{
    PtyPair pair;
    QVERIFY(pair.isOpen());
    QVERIFY2(pair.devicePath().startsWith("/dev/pts/"), qPrintable(pair.devicePath()));
    QVERIFY(pair.readAvailable().isEmpty());
}

void TestPtyPair::bytesPassUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("telemetry frame") << QByteArray::fromHex("8201234503002B0070A87C");
    // What a terminal not in raw mode would rewrite or swallow: CR, LF, ^C, ^D, XON, XOFF, NUL, DEL.
    QTest::newRow("terminal control bytes") << QByteArray::fromHex("0D0A03041113007F0D");
    QTest::newRow("every byte value") << everyByteValue();
}

void TestPtyPair::bytesPassUnchanged()
{
    QFETCH(QByteArray, bytes);
    PtyPair pair;
    QSerialPort port;
    QVERIFY2(openPort(port, pair.devicePath()), qPrintable(port.errorString()));

    QVERIFY(pair.write(bytes));
    QTRY_COMPARE(port.bytesAvailable(), bytes.size());
    QCOMPARE(port.readAll(), bytes);

    QCOMPARE(port.write(bytes), bytes.size());
    QByteArray echoed;
    QTRY_COMPARE(echoed += pair.readAvailable(), bytes);
}

void TestPtyPair::bytesWrittenBeforeThePortOpensWaitForIt()
{
    // Until the port opens, only the pair's own raw mode keeps the bytes as they are.
    PtyPair pair;
    const QByteArray bytes = everyByteValue();
    QVERIFY(pair.write(bytes));

    QSerialPort port;
    QVERIFY2(openPort(port, pair.devicePath()), qPrintable(port.errorString()));
    QTRY_COMPARE(port.bytesAvailable(), bytes.size());
    QCOMPARE(port.readAll(), bytes);
}

void TestPtyPair::closeMasterIsAHangUpForThePort()
{
    PtyPair pair;
    QSerialPort port;
    QVERIFY2(openPort(port, pair.devicePath()), qPrintable(port.errorString()));
    QSerialPort::SerialPortError firstError = QSerialPort::NoError;
    connect(&port, &QSerialPort::errorOccurred, &port, [&](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError && firstError == QSerialPort::NoError) {
            firstError = error;
            port.close(); // a vanished pts keeps reporting errors until closed
        }
    });

    pair.closeMaster();
    QVERIFY(!pair.isOpen());
    QTRY_VERIFY(firstError == QSerialPort::ReadError || firstError == QSerialPort::ResourceError);
    QVERIFY(!pair.write("x"));
    QVERIFY(pair.readAvailable().isEmpty());
}

void TestPtyPair::relinkPointsALinkAtEachNewDevice()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString link = folder.filePath("receiver");
    PtyPair first, second;

    QVERIFY(PtyPair::relink(link, first.devicePath()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), first.devicePath());
    QVERIFY(PtyPair::relink(link, second.devicePath()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), second.devicePath());
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"receiver"});

    // A port opened through the link reaches the device it now points at.
    QSerialPort port;
    QVERIFY2(openPort(port, link), qPrintable(port.errorString()));
    QVERIFY(second.write("S\x07"));
    QTRY_COMPARE(port.bytesAvailable(), 2);
    QCOMPARE(port.readAll(), QByteArray("S\x07"));
}

void TestPtyPair::relinkFailsWhereNoLinkCanBeMade()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    PtyPair pair;
    QVERIFY(!PtyPair::relink(folder.filePath("missing/receiver"), pair.devicePath()));
    QVERIFY(QDir().mkdir(folder.filePath("occupied")));
    QVERIFY(!PtyPair::relink(folder.filePath("occupied"), pair.devicePath()));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"occupied"});
}

QTEST_GUILESS_MAIN(TestPtyPair)
#include "tst_ptypair.moc"
