// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receiver configuration buttons on the main window: the frames that
// leave the port byte for byte, refusals, a closed port, a failing write.
#include "support/consolefixture.h"

#include <QTest>
#include <QTimer>

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Every frame written so far, as hex.
QStringList sent(const FakeCommsPort &port)
{
    QStringList frames;
    for (const QByteArray &frame : port.writes)
        frames << hex(frame);
    return frames;
}

// The texts of address boxes 1 to 8; boxes not given are emptied.
void typeAddresses(Mainscreen &w, const QStringList &texts)
{
    for (int box = 1; box <= 8; ++box)
        w.txtadd[box]->setText(box <= texts.size() ? texts[box - 1] : QString());
}

// 0 "Set Mode", 3 "Set 3ch Add", 8 "Set 8ch Add".
void click(Mainscreen &w, int button)
{
    if (button == 0)
        w.cmdprogmode_Click();
    else if (button == 3)
        w.cmdprogadd_Click();
    else
        w.cmdprog8chadd_Click();
}

// A port that opens but takes no bytes.
class RefusingPort final : public CommsPort {
public:
    void setCommPort(int number) override { m_number = number; }
    int commPort() const override { return m_number; }
    void setSettings(const QString &) override {}
    QString settings() const override { return kDefaultSettings; }
    QString errorString() const override { return {}; }
    bool portOpen() const override { return m_open; }
    bool setPortOpen(bool open) override
    {
        m_open = open;
        return true;
    }
    int inBufferCount() override { return 0; }
    void clearInBuffer() override {}
    QByteArray input() override { return {}; }
    bool output(const QByteArray &) override { return false; }
    QString deviceName(int number) const override { return QStringLiteral("/dev/full%1").arg(number); }

private:
    int m_number = 1;
    bool m_open = false;
};

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void calcCrc_data();
    void calcCrc();
    void setMode_data();
    void setMode();
    void setAddresses_data();
    void setAddresses();
    void threeChannelIgnoresBoxesFourToEight();
    void refusedValueSendsNothing_data();
    void refusedValueSendsNothing();
    void closedPortSendsNothing_data();
    void closedPortSendsNothing();
    void failedWriteIsReported();
    void twoClicksSendIdenticalFrames();
    void workingVariablesKeepLastHighAddress();
};

void TestCommands::calcCrc_data()
{
    QTest::addColumn<QByteArray>("cmdstring");
    QTest::addColumn<int>("crclo");
    QTest::addColumn<int>("crchi");
    QTest::newRow("check string") << QByteArray("123456789") << 0x37 << 0x4B;
    QTest::newRow("abc") << QByteArray("abc") << 0x49 << 0x57;
    QTest::newRow("zero byte counts") << QByteArray("AT=\0", 4) << 0x45 << 0x58;
}

void TestCommands::calcCrc()
{
    QFETCH(QByteArray, cmdstring);
    Console c;
    c.g().cmdstring = cmdstring;
    c.w().mod().CalcCRC();
    QTEST(int(c.g().crclo), "crclo");
    QTEST(int(c.g().crchi), "crchi");
    QCOMPARE(c.g().cmdstring, cmdstring); // only computes; SendCommand appends
}

void TestCommands::setMode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("frame");

    QTest::newRow("2") << "2"
                       << "41 54 3D 02 C4 99";
    QTest::newRow("default 0") << "0"
                               << "41 54 3D 00 45 58";
    QTest::newRow("255") << "255"
                         << "41 54 3D FF 05 18";
    QTest::newRow("2.5 rounds to even 2") << "2.5"
                                          << "41 54 3D 02 C4 99";
    QTest::newRow("3.5 rounds to 4") << "3.5"
                                     << "41 54 3D 04 44 9B";
    QTest::newRow("leading blanks") << "  7"
                                    << "41 54 3D 07 04 9A";
    QTest::newRow("trailing letters") << "12abc"
                                      << "41 54 3D 0C 45 5D";
    QTest::newRow("no number") << "abc"
                               << "41 54 3D 00 45 58";
    QTest::newRow("empty box") << ""
                               << "41 54 3D 00 45 58";
}

void TestCommands::setMode()
{
    QFETCH(QString, text);
    QFETCH(QString, frame);
    Console c;
    c.openPort1();
    c.w().txtinstring->setText(QStringLiteral("T 1234 21.5 degC"));
    c.w().txtmode->setText(text);

    c.w().cmdprogmode_Click();

    QCOMPARE(sent(c.port), QStringList{frame});
    QCOMPARE(c.w().txtinstring->text(), QString());
    const GlobalDec &g = c.g();
    QCOMPARE(hex(g.cmdstring), frame);                                          // keeps the last command sent
    QCOMPARE(QString::asprintf("%02X %02X", g.crclo, g.crchi), frame.right(5)); // left by CalcCRC
}

void TestCommands::setAddresses_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("frame");

    QTest::newRow("3ch worked example") << 3 << QStringList{"1234", "70000", "0"}
                                        << "41 50 00 04 D2 01 11 70 00 00 00 40 74";
    QTest::newRow("8ch worked example") << 8 << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}
                                        << "41 50 00 00 01 00 00 02 00 00 03 00 00 04 00 00 05 00 00 06 "
                                           "00 00 07 00 00 08 5C C4";
    QTest::newRow("around 65536 and the top")
        << 3 << QStringList{"65535", "65536", "16777215"} << "41 50 00 FF FF 01 00 00 FF FF FF 24 C2";
    QTest::newRow("fractions") << 3 << QStringList{"300.7", "65536.4", "255.5"}
                               << "41 50 00 01 2D 01 00 00 00 01 00 68 17";
    QTest::newRow("no number is address 0")
        << 3 << QStringList{"", "abc", "0"} << "41 50 00 00 00 00 00 00 00 00 00 54 98";
    QTest::newRow("8ch all at the top") << 8 << QStringList(8, QStringLiteral("16777215"))
                                        << "41 50 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF "
                                           "FF FF FF FF FF FF F9 14";
}

void TestCommands::setAddresses()
{
    QFETCH(int, button);
    QFETCH(QStringList, texts);
    QFETCH(QString, frame);
    Console c;
    c.openPort1();
    c.w().txtinstring->setText(QStringLiteral("S"));
    typeAddresses(c.w(), texts);

    click(c.w(), button);

    QCOMPARE(sent(c.port), QStringList{frame});
    QCOMPARE(c.w().txtinstring->text(), QString());
}

void TestCommands::threeChannelIgnoresBoxesFourToEight()
{
    // Boxes 4 to 8 hold values that would be refused or change the frame.
    Console c;
    c.openPort1();
    typeAddresses(c.w(), {"1234", "70000", "0", "-5", "1e400", "16777216", "junk", "99"});
    c.w().cmdprogadd_Click();
    QCOMPARE(sent(c.port), QStringList{"41 50 00 04 D2 01 11 70 00 00 00 40 74"});
    QCOMPARE(c.w().txtinstring->text(), QString());
}

void TestCommands::refusedValueSendsNothing_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("explanation"); // fragments the message must hold

    const QStringList fine(8, QStringLiteral("1"));
    auto with = [&](int box, const QString &text) {
        QStringList texts = fine;
        texts[box - 1] = text;
        return texts;
    };
    QTest::newRow("mode 256") << 0 << "256" << fine << QStringList{"Set Mode not sent: mode 256 is outside 0 to 255"};
    QTest::newRow("mode 255.5 rounds to 256") << 0 << "255.5" << fine << QStringList{"Set Mode not sent", "255.5"};
    QTest::newRow("mode -0.6 rounds to -1") << 0 << "-0.6" << fine << QStringList{"Set Mode not sent", "-0.6"};
    QTest::newRow("mode not finite") << 0 << "1e400" << fine << QStringList{"Set Mode not sent", "mode"};
    QTest::newRow("3ch negative in box 2")
        << 3 << "0" << with(2, "-1") << QStringList{"Set 3ch Add not sent", "box 2", "-1"};
    QTest::newRow("3ch rounds to 16777216")
        << 3 << "0" << with(1, "16777215.5") << QStringList{"Set 3ch Add not sent", "box 1", "16777215.5"};
    QTest::newRow("3ch beyond 32 bits") << 3 << "0" << with(3, "1e30") << QStringList{"Set 3ch Add not sent", "box 3"};
    QTest::newRow("8ch not finite in box 8")
        << 8 << "0" << with(8, "1e400") << QStringList{"Set 8ch Add not sent", "box 8"};
    QTest::newRow("8ch 16777216 in box 5")
        << 8 << "0" << with(5, "16777216") << QStringList{"Set 8ch Add not sent", "box 5", "16777216"};
}

void TestCommands::refusedValueSendsNothing()
{
    QFETCH(int, button);
    QFETCH(QString, mode);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, explanation);
    Console c;
    c.openPort1();
    c.w().txtmode->setText(mode);
    typeAddresses(c.w(), addresses);

    click(c.w(), button);

    QVERIFY(c.port.writes.isEmpty());
    const QString shown = c.w().txtinstring->text();
    for (const QString &fragment : explanation)
        QVERIFY2(shown.contains(fragment), qPrintable(shown));
    QVERIFY(c.g().cmdstring.isEmpty()); // nothing was built
}

void TestCommands::closedPortSendsNothing_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("message");
    QTest::newRow("Set Mode") << 0 << "Set Mode not sent: no port is open";
    QTest::newRow("Set 3ch Add") << 3 << "Set 3ch Add not sent: no port is open";
    QTest::newRow("Set 8ch Add") << 8 << "Set 8ch Add not sent: no port is open";
}

void TestCommands::closedPortSendsNothing()
{
    QFETCH(int, button);
    Console c;
    c.openPort1();
    c.port.setPortOpen(false); // as after "Off" or a start-up with no port chosen
    click(c.w(), button);
    QVERIFY(c.port.writes.isEmpty());
    QTEST(c.w().txtinstring->text(), "message");
}

void TestCommands::failedWriteIsReported()
{
    RefusingPort port;
    ManualClock clock;
    Mainscreen w(port, clock);
    w.Form_Load();
    w.tmrcomms->stop();
    w.tmrpctime->stop();
    port.setCommPort(4);
    port.setPortOpen(true);

    w.cmdprog8chadd_Click();
    QCOMPARE(w.txtinstring->text(), QStringLiteral("Set 8ch Add not sent: writing to port 4 (/dev/full4) failed"));
    w.cmdprogmode_Click();
    QVERIFY(w.txtinstring->text().startsWith(QStringLiteral("Set Mode not sent: writing to port 4")));
}

void TestCommands::twoClicksSendIdenticalFrames()
{
    // Through the buttons themselves, so the wiring is covered too.
    Console c;
    c.openPort1();
    c.w().txtmode->setText(QStringLiteral("2"));
    c.w().cmdprogmode->click();
    c.w().cmdprogmode->click();
    typeAddresses(c.w(), {"1", "2", "3", "4", "5", "6", "7", "8"});
    c.w().cmdprog8chadd->click();
    c.w().cmdprog8chadd->click();
    const QString eight = QStringLiteral("41 50 00 00 01 00 00 02 00 00 03 00 00 04 00 00 05 00 00 06 "
                                         "00 00 07 00 00 08 5C C4");
    QCOMPARE(sent(c.port), (QStringList{"41 54 3D 02 C4 99", "41 54 3D 02 C4 99", eight, eight}));
}

void TestCommands::workingVariablesKeepLastHighAddress()
{
    Console c;
    c.openPort1();
    const GlobalDec &g = c.g();
    auto working = [&] { return QList<int>{g.progaddr, g.addrhigh, g.addrmid, g.addrlow}; };

    typeAddresses(c.w(), {"1234", "70000", "0"});
    c.w().cmdprogadd_Click();
    QCOMPARE(working(), (QList<int>{70000, 0x01, 0x11, 0x70}));

    typeAddresses(c.w(), {"100", "200", "65535"}); // all below 65536: left alone
    c.w().cmdprogadd_Click();
    QCOMPARE(working(), (QList<int>{70000, 0x01, 0x11, 0x70}));

    typeAddresses(c.w(), {"65536.4", "16777215", "5"}); // the last such address wins
    c.w().cmdprogadd_Click();
    QCOMPARE(working(), (QList<int>{16777215, 0xFF, 0xFF, 0xFF}));

    typeAddresses(c.w(), {"65537", "-1", "5"}); // refused: nothing encoded
    c.w().cmdprogadd_Click();
    QCOMPARE(working(), (QList<int>{16777215, 0xFF, 0xFF, 0xFF}));
    QCOMPARE(c.port.writes.size(), 3);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
