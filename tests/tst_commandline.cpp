// The console's optional arguments.
#include "app/commandline.h"
#include "comms/qtcommsport.h"
#include "support/ptypair.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void portsAreMapped()
    {
        const auto parsed = parseCommandLine({"--port", "1=/dev/pts/3", "--port=10=/dev/ttyUSB0"});
        QVERIFY(std::holds_alternative<CommandLine>(parsed));
        const CommandLine &options = std::get<CommandLine>(parsed);
        QCOMPARE(options.ports.value(1), QStringLiteral("/dev/pts/3"));
        QCOMPARE(options.ports.value(10), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(!options.help);
    }

    void noArgumentsChangeNothing()
    {
        const auto parsed = parseCommandLine({});
        QVERIFY(std::get<CommandLine>(parsed).ports.isEmpty());
    }

    void toolkitOptionsAreSteppedOver_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("port1");
        QTest::newRow("-platform and its value") << QStringList{"-platform", "offscreen", "--port", "1=/a"} << "/a";
        QTest::newRow("value looks like ours") << QStringList{"-qwindowtitle", "--port", "--port", "1=/b"} << "/b";
        QTest::newRow("two dashes") << QStringList{"--platform", "xcb", "--port=1=/c"} << "/c";
        QTest::newRow("joined value") << QStringList{"-style=fusion", "-qmljsdebugger=port:1", "--port", "1=/d"}
                                      << "/d";
        QTest::newRow("flags") << QStringList{"-reverse", "-widgetcount", "-nograb", "--port", "1=/e"} << "/e";
        QTest::newRow("xcb options") << QStringList{"-display", ":1", "-geometry", "10x10",
                                                    "-name",    "n",  "--port",    "1=/f"}
                                     << "/f";
    }
    void toolkitOptionsAreSteppedOver()
    {
        QFETCH(QStringList, arguments);
        const auto parsed = parseCommandLine(arguments);
        if (const auto *error = std::get_if<CommandLineError>(&parsed))
            QFAIL(qPrintable(error->message));
        QTEST(std::get<CommandLine>(parsed).ports.value(1), "port1");
    }

    void badArgumentsAreRefusedWithAReason_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("unknown") << QStringList{"--verbose"} << "--verbose";
        QTest::newRow("no value") << QStringList{"--port"} << "N=DEVICE";
        QTest::newRow("no equals") << QStringList{"--port", "1"} << "N=DEVICE";
        QTest::newRow("port 0") << QStringList{"--port", "0=/dev/x"} << "1 to 10";
        QTest::newRow("port 11") << QStringList{"--port", "11=/dev/x"} << "1 to 10";
        QTest::newRow("not a number") << QStringList{"--port", "one=/dev/x"} << "1 to 10";
        QTest::newRow("no device") << QStringList{"--port", "2="} << "no device";
        QTest::newRow("twice") << QStringList{"--port", "2=/a", "--port", "2=/b"} << "twice";
        QTest::newRow("Qt option without its value")
            << QStringList{"--port", "1=/a", "-style"} << "-style wants a value";
        QTest::newRow("single-dash unknown") << QStringList{"-platformx", "offscreen"} << "-platformx";
        QTest::newRow("near a joined option") << QStringList{"-style"} << "wants a value";
    }
    void badArgumentsAreRefusedWithAReason()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);
        const auto parsed = parseCommandLine(arguments);
        QVERIFY(std::holds_alternative<CommandLineError>(parsed));
        QVERIFY2(std::get<CommandLineError>(parsed).message.contains(mentions),
                 qPrintable(std::get<CommandLineError>(parsed).message));
    }

    // Device names are bytes: a link whose name is not valid UTF-8, pointing
    // to a real pseudo-terminal, must still open as the port named on the
    // command line, through the real QSerialPort.
    void deviceNamedInAnyBytesOpens_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QByteArray>("linkName");
        QTest::newRow("Latin-1 byte, --port=N=") << QByteArray("--port=1=")
                                                 << QByteArray("rx\xe9"
                                                               "ceiver");
        QTest::newRow("lone byte, N=") << QByteArray("1=") << QByteArray("rx\xff");
        QTest::newRow("cut sequence") << QByteArray("1=") << QByteArray("rx\xc3");
        QTest::newRow("valid UTF-8 kept as given") << QByteArray("1=")
                                                   << QByteArray("r\xc3\xa9"
                                                                 "cepteur");
    }
    void deviceNamedInAnyBytesOpens()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArray, linkName);
        PtyPair receiver;
        QTemporaryDir dir;
        QVERIFY(receiver.isOpen() && dir.isValid());
        const QByteArray link = QFile::encodeName(dir.path()) + '/' + linkName;
        QVERIFY(::symlink(QFile::encodeName(receiver.devicePath()).constData(), link.constData()) == 0);

        QStringList arguments;
        if (prefix == "1=")
            arguments << QStringLiteral("--port");
        arguments << decodeArgument(prefix + link);
        const auto parsed = parseCommandLine(arguments);
        QVERIFY(std::holds_alternative<CommandLine>(parsed));
        const QString device = std::get<CommandLine>(parsed).ports.value(1);
        if (QFile::encodeName(QFile::decodeName(link)) == link)
            QCOMPARE(device, QFile::decodeName(link)); // a name that survives stays the user's

        QtCommsPort port{PortMap(std::get<CommandLine>(parsed).ports, QString(), [] { return QStringList(); })};
        port.setCommPort(1);
        QVERIFY2(port.setPortOpen(true), qPrintable(device));
        QVERIFY(port.output("AT="));
        QByteArray arrived;
        QTRY_COMPARE((arrived += receiver.readAvailable()), QByteArray("AT="));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
