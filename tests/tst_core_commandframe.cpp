// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Receiver command frames: CRC closing, the mode byte, address fields and refusals.
#include "config/commandframe.h"

#include <QTest>

namespace {

// The frame as upper-case hex pairs, or "refused: <reason>".
QString shown(const BytesOrRefusal &result)
{
    if (const auto *refusal = std::get_if<Refusal>(&result))
        return QStringLiteral("refused: ") + refusal->reason;
    return QString::fromLatin1(std::get<QByteArray>(result).toHex(' ').toUpper());
}

} // namespace

class TestCoreCommandFrame : public QObject {
    Q_OBJECT

private slots:
    void withCrc_data();
    void withCrc();
    void modeFrame_data();
    void modeFrame();
    void addressField_data();
    void addressField();
    void addressFrame_data();
    void addressFrame();
    void commandFrameProblem_data();
    void commandFrameProblem();
};

void TestCoreCommandFrame::withCrc_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("expected");
    QTest::newRow("check string") << QByteArray("123456789") << "31 32 33 34 35 36 37 38 39 37 4B";
    QTest::newRow("abc") << QByteArray("abc") << "61 62 63 49 57";
    QTest::newRow("zero bytes kept") << QByteArray("AT=\0", 4) << "41 54 3D 00 45 58";
    QTest::newRow("empty") << QByteArray() << "FF FF";
}

void TestCoreCommandFrame::withCrc()
{
    QFETCH(QByteArray, frame);
    QTEST(QString::fromLatin1(::withCrc(frame).toHex(' ').toUpper()), "expected");
}

void TestCoreCommandFrame::modeFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("2") << "2"
                       << "41 54 3D 02 C4 99";
    QTest::newRow("default 0") << "0"
                               << "41 54 3D 00 45 58";
    QTest::newRow("255") << "255"
                         << "41 54 3D FF 05 18";
    QTest::newRow("2.5 rounds to even 2") << "2.5"
                                          << "41 54 3D 02 C4 99";
    QTest::newRow("3.5 rounds to 4") << "3.5" << shown(::withCrc(QByteArray("AT=\x04", 4)));
    QTest::newRow("leading blanks") << "   7" << shown(::withCrc(QByteArray("AT=\x07", 4)));
    QTest::newRow("trailing letters") << "12abc" << shown(::withCrc(QByteArray("AT=\x0C", 4)));
    QTest::newRow("no number") << "abc"
                               << "41 54 3D 00 45 58";
    QTest::newRow("empty box") << ""
                               << "41 54 3D 00 45 58";
    QTest::newRow("-0.5 rounds to 0") << "-0.5"
                                      << "41 54 3D 00 45 58";
    QTest::newRow("255.4 rounds to 255") << "255.4"
                                         << "41 54 3D FF 05 18";
    QTest::newRow("hex") << "&HFF"
                         << "41 54 3D FF 05 18";

    QTest::newRow("256") << "256"
                         << "refused: Set Mode not sent: mode 256 is outside 0 to 255";
    QTest::newRow("255.5 rounds to 256") << "255.5"
                                         << "refused: Set Mode not sent: mode 255.5 is outside 0 to 255";
    QTest::newRow("-0.6 rounds to -1") << "-0.6"
                                       << "refused: Set Mode not sent: mode -0.6 is outside 0 to 255";
    QTest::newRow("negative") << "-1"
                              << "refused: Set Mode not sent: mode -1 is outside 0 to 255";
    QTest::newRow("hex 256") << "&H100"
                             << "refused: Set Mode not sent: mode 256 is outside 0 to 255";
    QTest::newRow("beyond int64") << "1e30"
                                  << "refused: Set Mode not sent: mode 1e+30 is outside 0 to 255";
    QTest::newRow("infinite") << "1e400"
                              << "refused: Set Mode not sent: mode inf is outside 0 to 255";
}

void TestCoreCommandFrame::modeFrame()
{
    QFETCH(QString, text);
    QTEST(shown(::modeFrame(text)), "expected");
}

void TestCoreCommandFrame::addressField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1234") << "1234"
                          << "00 04 D2";
    QTest::newRow("70000") << "70000"
                           << "01 11 70";
    QTest::newRow("0") << "0"
                       << "00 00 00";
    QTest::newRow("minus zero") << "-0"
                                << "00 00 00";
    QTest::newRow("empty box") << ""
                               << "00 00 00";
    QTest::newRow("no number") << "abc"
                               << "00 00 00";
    QTest::newRow("256") << "256"
                         << "00 01 00";
    QTest::newRow("65535") << "65535"
                           << "00 FF FF";
    QTest::newRow("65536") << "65536"
                           << "01 00 00";
    QTest::newRow("16777215") << "16777215"
                              << "FF FF FF";
    QTest::newRow("hex FFFFFF") << "&HFFFFFF"
                                << "FF FF FF";
    QTest::newRow("300.7 rounds to 301") << "300.7"
                                         << "00 01 2D";
    QTest::newRow("255.5 rounds to 256") << "255.5"
                                         << "00 01 00";
    QTest::newRow("65535.5 rounds to 65536") << "65535.5"
                                             << "01 00 00";
    QTest::newRow("511.5 rounds to 512") << "511.5"
                                         << "00 02 00";
    QTest::newRow("65535.6 rounds to 65536") << "65535.6"
                                             << "01 00 00";
    QTest::newRow("0.5 rounds to even 0") << "0.5"
                                          << "00 00 00";
    QTest::newRow("1.5 rounds to even 2") << "1.5"
                                          << "00 00 02";
    QTest::newRow("255.4 stays 255") << "255.4"
                                     << "00 00 FF";
    QTest::newRow("767.5 carries into the middle byte") << "767.5"
                                                        << "00 03 00";
    QTest::newRow("65536.4 rounded first") << "65536.4"
                                           << "01 00 00";
    QTest::newRow("16777214.5 rounds to even") << "16777214.5"
                                               << "FF FF FE";
    QTest::newRow("16777215.4") << "16777215.4"
                                << "FF FF FF";

    QTest::newRow("negative") << "-5"
                              << "refused: address -5 is outside 0 to 16777215";
    QTest::newRow("small negative") << "-0.4"
                                    << "refused: address -0.4 is outside 0 to 16777215";
    QTest::newRow("16777216") << "16777216"
                              << "refused: address 16777216 is outside 0 to 16777215";
    QTest::newRow("16777215.5 rounds up") << "16777215.5"
                                          << "refused: address 16777215.5 is outside 0 to 16777215";
    QTest::newRow("beyond 32 bits") << "&H100000000"
                                    << "refused: address 4294967296 is outside 0 to 16777215";
    QTest::newRow("beyond int64") << "1e30"
                                  << "refused: address 1e+30 is outside 0 to 16777215";
    QTest::newRow("infinite") << "1e400"
                              << "refused: address inf is outside 0 to 16777215";
    QTest::newRow("negative infinite") << "-1e400"
                                       << "refused: address -inf is outside 0 to 16777215";
}

void TestCoreCommandFrame::addressField()
{
    QFETCH(QString, text);
    QTEST(shown(::addressField(text)), "expected");
}

void TestCoreCommandFrame::addressFrame_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("3ch example") << "Set 3ch Add" << QStringList{"1234", "70000", "0"}
                                 << "41 50 00 04 D2 01 11 70 00 00 00 40 74";
    QTest::newRow("8ch example")
        << "Set 8ch Add" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}
        << "41 50 00 00 01 00 00 02 00 00 03 00 00 04 00 00 05 00 00 06 00 00 07 00 00 08 5C C4";
    QTest::newRow("3ch empty boxes") << "Set 3ch Add" << QStringList{"", "", ""}
                                     << shown(::withCrc(QByteArray("AP"
                                                                   "\0\0\0"
                                                                   "\0\0\0"
                                                                   "\0\0\0",
                                                                   11)));

    QTest::newRow("box 2 negative") << "Set 3ch Add" << QStringList{"1234", "-5", "0"}
                                    << "refused: Set 3ch Add not sent: address box 2 holds -5, outside 0 to 16777215";
    QTest::newRow("first refusal named")
        << "Set 3ch Add" << QStringList{"1", "-0.4", "16777216"}
        << "refused: Set 3ch Add not sent: address box 2 holds -0.4, outside 0 to 16777215";
    QTest::newRow("box 8 too large")
        << "Set 8ch Add" << QStringList{"1", "2", "3", "4", "5", "6", "7", "  16777216"}
        << "refused: Set 8ch Add not sent: address box 8 holds 16777216, outside 0 to 16777215";
    QTest::newRow("box 1 infinite") << "Set 8ch Add" << QStringList{"1e999", "2", "3", "4", "5", "6", "7", "8"}
                                    << "refused: Set 8ch Add not sent: address box 1 holds inf, outside 0 to 16777215";
}

void TestCoreCommandFrame::addressFrame()
{
    QFETCH(QString, command);
    QFETCH(QStringList, boxes);
    QTEST(shown(::addressFrame(command, boxes)), "expected");
}

// Bytes from a remote console: only whole mode and address frames whose CRC
// holds may reach the receiver.
void TestCoreCommandFrame::commandFrameProblem_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("problem");

    const QByteArray mode2 = QByteArray::fromHex("41543D02C499");
    const QByteArray add3 = ::withCrc(QByteArray("AP\x00\x04\xD2\x01\x11\x70\x00\x00\x00", 11));
    const QByteArray add8 = ::withCrc("AP" + QByteArray(24, '\x05'));
    QTest::newRow("mode 2") << mode2 << "";
    QTest::newRow("mode 255") << QByteArray::fromHex("41543DFF0518") << "";
    QTest::newRow("3 addresses") << add3 << "";
    QTest::newRow("8 addresses") << add8 << "";
    QTest::newRow("CRC bytes swapped") << QByteArray::fromHex("41543D0299C4") << "bad CRC";
    QTest::newRow("mode byte changed") << QByteArray::fromHex("41543D03C499") << "bad CRC";
    const auto flipped = [](QByteArray bytes, qsizetype at) {
        bytes[at] = char(bytes[at] ^ 0x01);
        return bytes;
    };
    QTest::newRow("3 addresses, a field changed") << flipped(add3, 4) << "bad CRC";
    QTest::newRow("8 addresses, CRC high byte changed") << flipped(add8, 27) << "bad CRC";
    QTest::newRow("lower-case prefix") << ::withCrc(QByteArray("at=\x02", 4)) << "wrong prefix";
    QTest::newRow("AT without =") << ::withCrc(QByteArray("AT\x02\x02", 4)) << "wrong prefix";
    QTest::newRow("telemetry frame") << QByteArray::fromHex("8201234503002B00700000") << "wrong prefix";
    QTest::newRow("one other byte") << QByteArray("B") << "wrong prefix";
    QTest::newRow("empty") << QByteArray() << "wrong length";
    QTest::newRow("A alone") << QByteArray("A") << "wrong length";
    QTest::newRow("AT alone") << QByteArray("AT") << "wrong length";
    QTest::newRow("AT= alone") << QByteArray("AT=") << "wrong length";
    QTest::newRow("mode, no CRC") << QByteArray("AT=\x02", 4) << "wrong length";
    QTest::newRow("mode, a byte more") << mode2 + '\x00' << "wrong length";
    QTest::newRow("12 bytes") << ::withCrc("AP" + QByteArray(8, '\x01')) << "wrong length";
    QTest::newRow("14 bytes") << ::withCrc("AP" + QByteArray(10, '\x01')) << "wrong length";
    QTest::newRow("27 bytes") << ::withCrc("AP" + QByteArray(23, '\x01')) << "wrong length";
    QTest::newRow("29 bytes") << ::withCrc("AP" + QByteArray(25, '\x01')) << "wrong length";
    QTest::newRow("address frame of mode length") << ::withCrc("AP" + QByteArray(2, '\x01')) << "wrong length";
}

void TestCoreCommandFrame::commandFrameProblem()
{
    QFETCH(QByteArray, payload);
    QTEST(::commandFrameProblem(payload), "problem");
}

QTEST_GUILESS_MAIN(TestCoreCommandFrame)
#include "tst_core_commandframe.moc"
