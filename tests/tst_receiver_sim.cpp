// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receiver simulator, run as the console would meet it: a process
// whose pseudo-terminal is opened with QSerialPort.
#include "reception/crc16.h"
#include "reception/frame.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

namespace {
const QByteArray temperatureFrame = QByteArray::fromHex("82 01 23 45 03 00 2B 00 70 A8 7C");
const QByteArray gullyPotFrame = QByteArray::fromHex("F3 00 02 00 84 2D C8 00 3A 9B 54");

// The simulator with its output split into lines as they come.
struct Sim {
    QProcess process;
    QStringList lines;

    // Starts it and returns the device named on its first line, or empty.
    QString start(const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine())
                lines << QString::fromUtf8(process.readLine()).trimmed();
        });
        process.start(qEnvironmentVariable("HALVERN_SIM"), arguments);
        for (QDeadlineTimer deadline(5000); lines.isEmpty() && !deadline.hasExpired();)
            process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        return lines.value(0).startsWith("device: ") ? lines[0].mid(8) : QString();
    }
    QStringList commandLines() const { return lines.filter(QRegularExpression("^(command|unknown)")); }
    ~Sim()
    {
        process.kill();
        process.waitForFinished();
    }
};

// The console's end in miniature: keeps what arrives, closes on a hang-up.
struct Listener {
    QSerialPort port;
    QByteArray received;

    bool open(const QString &path)
    {
        port.setPortName(path);
        port.setBaudRate(19200);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        QObject::connect(&port, &QSerialPort::errorOccurred, &port, [this](QSerialPort::SerialPortError error) {
            if (error != QSerialPort::NoError && port.isOpen()) {
                received += port.readAll();
                port.close();
            }
        });
        return port.open(QIODevice::ReadWrite);
    }
};

QString writeScript(QTemporaryFile &file, const QByteArray &text)
{
    return file.open() && file.write(text) == text.size() && file.flush() ? file.fileName() : QString();
}

bool telemetryCrcOk(const QByteArray &frame)
{
    const std::uint16_t crc = crc16Modbus(QByteArrayView(frame).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    return static_cast<std::uint8_t>(frame[kCrcLowPosition - 1]) == crcLow(crc)
           && static_cast<std::uint8_t>(frame[kCrcHighPosition - 1]) == crcHigh(crc);
}
} // namespace

class TestReceiverSim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void scriptIsPlayedThenTheSimExits();
    void burstGoesOnOverLines();
    void replayIsPlayedAtItsTimes();
    void badFileLineIsNamed_data();
    void badFileLineIsNamed();
    void endlessScriptIsRefused();
    void badOptionsExitWithTwo_data();
    void badOptionsExitWithTwo();
    void commandsArePrintedDecoded_data();
    void commandsArePrintedDecoded();
    void profilesPlayValidMessages_data();
    void profilesPlayValidMessages();
    void seedRepeatsTheTraffic();
    void terminateRemovesTheLink();
};

void TestReceiverSim::initTestCase()
{
    QVERIFY2(QFileInfo(qEnvironmentVariable("HALVERN_SIM")).isExecutable(), "HALVERN_SIM names no program");
}

void TestReceiverSim::scriptIsPlayedThenTheSimExits()
{
    QTemporaryFile script;
    const QString path = writeScript(script, "# two frames\n"
                                             "+30ms 82 01 23 45 03 00 2B 00 70 A8 7C   # temperature 21.5\n"
                                             "\n"
                                             "f3 00 02 00 84 2d c8 00 3a 9b 54\n");
    QVERIFY(!path.isEmpty());
    Sim sim;
    const QString device = sim.start({"--script", path, "--gap", "40"});
    QVERIFY2(!device.isEmpty(), qPrintable(sim.lines.join('\n')));

    Listener listener;
    QVERIFY2(listener.open(device), qPrintable(listener.port.errorString()));
    QTRY_COMPARE(listener.received, temperatureFrame + gullyPotFrame);
    QTRY_COMPARE(sim.process.state(), QProcess::NotRunning);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(sim.lines.contains("line: opened at 19200 baud"));
    QVERIFY(sim.lines.contains("done: 2 messages played"));
}

// A burst longer than a line may be is written over several: "..." lines
// add to the message before, which leaves as one.
void TestReceiverSim::burstGoesOnOverLines()
{
    const QByteArray tail = "..." + QByteArray(" 2b 00 70 a8 7c").repeated(150) + "\n"; // 150 frame ends a line
    QTemporaryFile script;
    const QString path = writeScript(script, "+30ms 82 01 23 45\n... 03 00 # the reading\n\n" + tail + tail
                                                 + "+30ms f3 00 02 00 84 2d c8 00 3a 9b 54\n");
    QVERIFY(!path.isEmpty());
    Sim sim;
    const QString device = sim.start({"--script", path});
    QVERIFY2(!device.isEmpty(), qPrintable(sim.lines.join('\n')));

    Listener listener;
    QVERIFY2(listener.open(device), qPrintable(listener.port.errorString()));
    QTRY_COMPARE(listener.received,
                 temperatureFrame.first(6) + temperatureFrame.sliced(6).repeated(300) + gullyPotFrame);
    QTRY_COMPARE(sim.process.state(), QProcess::NotRunning);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY2(sim.lines.contains("done: 2 messages played"), qPrintable(sim.lines.join('\n')));
}

// At 100 times the pace, the records are due 100 and 400 ms after playing begins.
void TestReceiverSim::replayIsPlayedAtItsTimes()
{
    QTemporaryFile capture;
    const QString path = writeScript(capture, "# field capture\n"
                                              "10.000 82 01 23 45 03 00 2B 00 70 A8 7C\n"
                                              "\n"
                                              "40 f3 00 02 00 84 2d c8 00 3a 9b 54  # gully pot\n");
    QVERIFY(!path.isEmpty());
    Sim sim;
    const QString device = sim.start({"--replay", path, "--speed", "100"});
    QVERIFY2(!device.isEmpty(), qPrintable(sim.lines.join('\n')));

    Listener listener;
    QElapsedTimer sinceOpening;
    sinceOpening.start();
    QVERIFY2(listener.open(device), qPrintable(listener.port.errorString()));
    QTRY_COMPARE(listener.received, temperatureFrame + gullyPotFrame);
    QVERIFY2(sinceOpening.elapsed() >= 400, "the second record came before its time");
    QTRY_COMPARE(sim.process.state(), QProcess::NotRunning);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(sim.lines.contains("done: 2 messages played"));
    QVERIFY(sim.lines.filter("seed").isEmpty());
}

void TestReceiverSim::badFileLineIsNamed_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error"); // after "script FILE:" or "replay FILE:"
    QTest::newRow("script: not hex") << "--script" << QByteArray("82 01\n\n# note\n82 0G\n")
                                     << "4: '0G' is not a hex byte";
    QTest::newRow("script: half a byte") << "--script" << QByteArray("53 7\n") << "1: '7' is not a hex byte";
    QTest::newRow("script: pause after bytes")
        << "--script" << QByteArray("53 +50ms 07\n") << "1: pause '+50ms' must come before the bytes";
    QTest::newRow("script: pause below 30 ms")
        << "--script" << QByteArray("+29ms 53 07\n") << "1: pause 29 ms is below 30 ms";
    QTest::newRow("script: pause in seconds")
        << "--script" << QByteArray("+1s 53 07\n") << "1: pause '+1s' is not +<milliseconds>ms";
    QTest::newRow("script: pause alone") << "--script" << QByteArray("53 07\n+50ms # wait\n")
                                         << "2: a pause without bytes";
    QTest::newRow("script: goes on with nothing before")
        << "--script" << QByteArray("# first\n... 53 07\n") << "2: '...' with no burst before it to go on with";
    QTest::newRow("script: pause in a line that goes on")
        << "--script" << QByteArray("53\n... +50ms 07\n") << "2: pause '+50ms' in a line led by '...'";
    QTest::newRow("script: goes on without bytes")
        << "--script" << QByteArray("53 07\n... # more\n") << "2: '...' without bytes";
    QTest::newRow("script: a line that goes on is not hex")
        << "--script" << QByteArray("53\n... 07 ...\n") << "2: '...' is not a hex byte";
    QTest::newRow("replay: not hex") << "--replay" << QByteArray("0.5 53 07\n# note\n1.25 82 0G\n")
                                     << "3: '0G' is not a hex byte";
    QTest::newRow("replay: time goes back")
        << "--replay" << QByteArray("1.5 53 07\n1.5 53 08\n\n1.499 53 09\n") << "4: time 1.499 goes back before 1.5";
    QTest::newRow("replay: comma for point")
        << "--replay" << QByteArray("1,5 53 07\n") << "1: '1,5' is not a time in seconds such as 12.345";
    QTest::newRow("replay: negative time")
        << "--replay" << QByteArray("-1 53 07\n") << "1: '-1' is not a time in seconds such as 12.345";
    QTest::newRow("replay: time with a unit")
        << "--replay" << QByteArray("1.5s 53 07\n") << "1: '1.5s' is not a time in seconds such as 12.345";
    QTest::newRow("replay: time alone") << "--replay" << QByteArray("2.0 # lost\n") << "1: time 2.0 without bytes";
    QTest::newRow("script: terminal controls escaped")
        << "--script" << QByteArray("53 0\x1B[2J7\n") << "1: '0\\x1B[2J7' is not a hex byte";
    QTest::newRow("script: bytes beyond ASCII escaped")
        << "--script" << QByteArray("53 07\n82 \xFF\x7F\x9B\n") << "2: '\\xFF\\x7F\\x9B' is not a hex byte";
    QTest::newRow("replay: bell in a time escaped")
        << "--replay" << QByteArray("1\a.5 53 07\n") << "1: '1\\x07.5' is not a time in seconds such as 12.345";
    QTest::newRow("script: over-long line") << "--script" << QByteArray("53 07\n") + QByteArray(4097, '0') + "\n53 07\n"
                                            << "2: line longer than 4096 bytes";
    QTest::newRow("replay: over-long last line")
        << "--replay" << QByteArray(4097, '#') << "1: line longer than 4096 bytes";
}

void TestReceiverSim::badFileLineIsNamed()
{
    QFETCH(QString, option);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QTemporaryFile file;
    const QString path = writeScript(file, text);
    QVERIFY(!path.isEmpty());
    QProcess process;
    process.start(qEnvironmentVariable("HALVERN_SIM"), {option, path});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    const QString stderrText = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(stderrText.startsWith(option.mid(2) + " " + path + ":" + error), qPrintable(stderrText));
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no device was opened
}

#if defined(__has_feature)
#define HAS_ADDRESS_SANITIZER __has_feature(address_sanitizer)
#else
#define HAS_ADDRESS_SANITIZER 0
#endif

// A script without an end of line is refused at its first line, in bounded
// memory: the simulator may take at most 1 GB, where reading all of
// /dev/zero would end in an abort instead of the error. AddressSanitizer
// reserves far more address space than that, so a sanitized simulator is
// bounded by the sanitizer's own allocation limit instead.
void TestReceiverSim::endlessScriptIsRefused()
{
    QProcess process;
#if defined(__SANITIZE_ADDRESS__) || HAS_ADDRESS_SANITIZER
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":max_allocation_size_mb=1024");
    process.setProcessEnvironment(environment);
    const QString limit = QStringLiteral("true");
#else
    const QString limit = QStringLiteral("ulimit -v 1048576");
#endif
    process.start("/bin/sh", {"-c", limit + " && exec \"$0\" \"$@\"", qEnvironmentVariable("HALVERN_SIM"), "--script",
                              "/dev/zero"});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QString stderrText = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(stderrText.startsWith("script /dev/zero:1: line longer than 4096 bytes"), qPrintable(stderrText));
}

void TestReceiverSim::badOptionsExitWithTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint"); // part of what stderr says
    QTest::newRow("gap below 30 ms") << QStringList{"--gap", "29"} << "--gap";
    QTest::newRow("unknown profile") << QStringList{"--profile", "quiet"} << "--profile";
    QTest::newRow("unknown baud rate") << QStringList{"--baud", "38400"} << "--baud";
    QTest::newRow("count 0") << QStringList{"--count", "0"} << "--count";
    QTest::newRow("missing script") << QStringList{"--script", "/nonexistent/script.txt"} << "cannot read script";
    QTest::newRow("missing replay") << QStringList{"--replay", "/nonexistent/capture.txt"} << "cannot read replay";
    QTest::newRow("script and replay") << QStringList{"--script", "a.txt", "--replay", "b.txt"}
                                       << "--script and --replay";
    QTest::newRow("speed 0") << QStringList{"--replay", "b.txt", "--speed", "0"} << "--speed must be";
    QTest::newRow("speed not a number") << QStringList{"--replay", "b.txt", "--speed", "fast"} << "--speed must be";
    QTest::newRow("speed without replay") << QStringList{"--speed", "2"} << "--speed needs --replay";
}

void TestReceiverSim::badOptionsExitWithTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);
    QProcess process;
    process.start(qEnvironmentVariable("HALVERN_SIM"), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    const QString stderrText = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(stderrText.contains(complaint), qPrintable(stderrText));
}

void TestReceiverSim::commandsArePrintedDecoded_data()
{
    const QByteArray mode2 = QByteArray::fromHex("41 54 3D 02 C4 99");
    const QByteArray threeAddresses = QByteArray::fromHex("41 50 00 04 D2 01 11 70 00 00 00 40 74");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("mode") << mode2 << QStringList{"command AT= mode 2 crc ok (41 54 3D 02 C4 99)"};
    QTest::newRow("mode, CRC bytes swapped")
        << QByteArray::fromHex("41 54 3D 02 99 C4") << QStringList{"command AT= mode 2 crc BAD (41 54 3D 02 99 C4)"};
    QTest::newRow("three addresses")
        << threeAddresses
        << QStringList{"command AP addresses 1234 70000 0 crc ok (41 50 00 04 D2 01 11 70 00 00 00 40 74)"};
    QTest::newRow("eight addresses")
        << QByteArray::fromHex("41 50 00 00 01 00 00 02 00 00 03 00 00 04 00 00 05 00 00 06 00 00 07 00 00 08 5C C4")
        << QStringList{"command AP addresses 1 2 3 4 5 6 7 8 crc ok (41 50 00 00 01 00 00 02 00 00 03 00 00 04 "
                       "00 00 05 00 00 06 00 00 07 00 00 08 5C C4)"};
    QTest::newRow("two frames in one write") << mode2 + QByteArray::fromHex("41 54 3D 00 45 58")
                                             << QStringList{"command AT= mode 2 crc ok (41 54 3D 02 C4 99)",
                                                            "command AT= mode 0 crc ok (41 54 3D 00 45 58)"};
    QTest::newRow("noise, then a frame") << "xy" + mode2
                                         << QStringList{"unknown: 78 79",
                                                        "command AT= mode 2 crc ok (41 54 3D 02 C4 99)"};
    QTest::newRow("frame cut short") << mode2.left(4) << QStringList{"unknown: 41 54 3D 02"};
}

void TestReceiverSim::commandsArePrintedDecoded()
{
    QFETCH(QByteArray, written);
    QFETCH(QStringList, expected);
    Sim sim;
    const QString device = sim.start({"--profile", "scanning", "--gap", "60000"}); // a quiet line
    QVERIFY(!device.isEmpty());
    Listener console;
    QVERIFY2(console.open(device), qPrintable(console.port.errorString()));

    QCOMPARE(console.port.write(written), written.size());
    QTRY_COMPARE(sim.commandLines(), expected);
}

void TestReceiverSim::profilesPlayValidMessages_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<int>("messageLength");
    QTest::newRow("steady") << "steady" << kTelemetryFrameLength;
    QTest::newRow("busy") << "busy" << kTelemetryFrameLength;
    QTest::newRow("scanning") << "scanning" << kScanningLength;
}

void TestReceiverSim::profilesPlayValidMessages()
{
    QFETCH(QString, profile);
    QFETCH(int, messageLength);
    const int count = 6;
    Sim sim;
    const QString device = sim.start({"--profile", profile, "--gap", "30", "--count", QString::number(count)});
    QVERIFY(!device.isEmpty());
    Listener console;
    QVERIFY2(console.open(device), qPrintable(console.port.errorString()));
    QTRY_COMPARE(sim.process.state(), QProcess::NotRunning);
    QCOMPARE(sim.process.exitCode(), 0);

    // The last bytes may still wait in the line when the simulator has ended.
    QTRY_COMPARE(console.received.size(), count * messageLength);
    for (int i = 0; i < count; ++i) {
        const QByteArray message = console.received.mid(i * messageLength, messageLength);
        if (messageLength == kScanningLength) {
            QCOMPARE(static_cast<std::uint8_t>(message[0]), kScanningType);
        } else {
            QVERIFY2(QList<int>({kTemperatureCode, kPulseCode, kContactCode, kAlarmCode, kGullyPotCode})
                         .contains(static_cast<std::uint8_t>(message[0])),
                     message.toHex(' ').constData());
            QVERIFY2(telemetryCrcOk(message), message.toHex(' ').constData());
        }
    }
}

// Five busy messages with the given seed, as the console receives them.
static void playBusy(const QString &seed, QByteArray &received)
{
    Sim sim;
    Listener console;
    QVERIFY(console.open(sim.start({"--profile", "busy", "--count", "5", "--seed", seed})));
    QTRY_COMPARE(sim.process.state(), QProcess::NotRunning);
    received = console.received;
}

void TestReceiverSim::seedRepeatsTheTraffic()
{
    QByteArray first, again, otherSeed;
    playBusy("42", first);
    playBusy("42", again);
    playBusy("43", otherSeed);
    QCOMPARE(first.size(), 5 * 11);
    QCOMPARE(again, first);
    QVERIFY(otherSeed != first);
}

void TestReceiverSim::terminateRemovesTheLink()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString link = folder.filePath("receiver");
    Sim sim;
    const QString device = sim.start({"--link", link});
    QVERIFY(!device.isEmpty());
    QTRY_COMPARE(QFileInfo(link).symLinkTarget(), device);

    sim.process.terminate();
    QTRY_COMPARE(sim.process.state(), QProcess::NotRunning);
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestReceiverSim)
#include "tst_receiver_sim.moc"
