// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The console's optional arguments.
#include "app/commandline.h"
#include "comms/qtcommsport.h"
#include "support/ptypair.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
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
        QTest::newRow("device with a control character")
            << QStringList{"--port", QStringLiteral("1=/dev/tty\x01USB0")}
            << "--port 1=: the device holds a control character (U+0001 at 9)";
        QTest::newRow("station with a control character")
            << QStringList{"--station", QStringLiteral("desk\x1b")} << "--station: holds a control character (U+001B";
        QTest::newRow("--config with a NUL") << QStringList{"--config", QStringLiteral("/tmp/a") + QChar(0) + u'b'}
                                             << "--config: holds a control character (U+0000 at 7)";
        QTest::newRow("station name of 65")
            << QStringList{"--station", QString(65, u's')} << "--station: 65 characters, more than the 64";
        QTest::newRow("--remote without a broker")
            << QStringList{"--remote", "pumphouse"}
            << "--remote needs a broker: --mqtt URL, or url in the config file's [mqtt]";
        QTest::newRow("--remote-list without a broker")
            << QStringList{"--remote-list"} << "--remote-list needs a broker";
        QTest::newRow("--remote, a name with a slash") << QStringList{"--mqtt", "mqtt://h", "--remote", "a/b"}
                                                       << "--remote: \"a/b\" is not letters, digits, - and _ only";
        QTest::newRow("--remote, a wildcard") << QStringList{"--mqtt", "mqtt://h", "--remote=+"} << "--remote: \"+\"";
        QTest::newRow("--remote, no name") << QStringList{"--mqtt", "mqtt://h", "--remote="} << "--remote: \"\"";
        QTest::newRow("--remote without its value") << QStringList{"--remote"} << "--remote wants a value (STATION)";
        QTest::newRow("--remote, name of 65")
            << QStringList{"--remote", QString(65, u's')} << "--remote: 65 characters, more than the 64";
        QTest::newRow("--remote twice") << QStringList{"--remote", "a", "--remote", "b"} << "--remote is given twice";
        QTest::newRow("--remote with --remote-list")
            << QStringList{"--mqtt", "mqtt://h", "--remote", "a", "--remote-list"} << "do not go together";
        QTest::newRow("--remote with --port")
            << QStringList{"--mqtt", "mqtt://h", "--remote", "a", "--port", "1=/dev/x"} << "--port does not go with it";
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

    // The MQTT and event options and the console's own config file: the
    // default one (%D/xdg/halvern/console.conf) or --config's, under the
    // command line, with only the sections those options use.
    void configFile_data()
    {
        QTest::addColumn<QString>("defaultFile"); // none if empty
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // as summarized below, or the start of the error
        const QString file = QStringLiteral("[mqtt]\nurl = mqtt://file\nprefix = fp\n[silent-after]\n5 = 2\n");
        const QString defaultFile = QStringLiteral("file=%D/xdg/halvern/console.conf");
        QTest::newRow("default file") << file << QStringList{} << "file:1883 fp 5=2 " + defaultFile;
        QTest::newRow("command line wins")
            << file << QStringList{"--mqtt", "mqtts://cli:1", "--mqtt-prefix=cp"} << "cli:1 cp 5=2 " + defaultFile;
        QTest::newRow("--config instead")
            << "[nonsense]\n"
            << QStringList{"--config", "%D/other.conf"} << "other:1883 halvern 5=60 file=%D/other.conf";
        QTest::newRow("no file") << "" << QStringList{"-platform", "offscreen", "--station", "desk"}
                                 << ":0 halvern 5=60 file=";
        QTest::newRow("--help, broken file") << "[nonsense]\n" << QStringList{"--help"} << ":0 halvern 5=60 file=";
        QTest::newRow("station's section") << "[station]\nport = /dev/x\n"
                                           << QStringList{}
                                           << "error: %D/xdg/halvern/console.conf:1: [station]: unknown section "
                                              "(known: [mqtt], [events], [silent-after])";
        QTest::newRow("bad minutes in file")
            << "[events]\nreceiver-silent-after = 0\n"
            << QStringList{} << "error: %D/xdg/halvern/console.conf:2: receiver-silent-after: \"0\"";
        QTest::newRow("--config missing")
            << "" << QStringList{"--config=%D/gone"} << "error: --config: \"%D/gone\" does not exist";
        QTest::newRow("bad URL") << "" << QStringList{"--mqtt=mqtt://h:x"} << "error: --mqtt: \"mqtt://h:x\": the port";
        QTest::newRow("twice") << "" << QStringList{"--mqtt", "mqtt://a", "--mqtt=mqtt://b"}
                               << "error: --mqtt is given twice";
        QTest::newRow("password file 0640") << "" << QStringList{"--mqtt-password-file", "%D/pw640"}
                                            << "error: --mqtt-password-file: \"%D/pw640\" is open to others";
        QTest::newRow("password file without a line feed") << "[mqtt]\nurl = mqtt://file\npassword-file = %D/pw600\n"
                                                           << QStringList{} << "file:1883 halvern 5=60 pw=secret";
        QTest::newRow("CA not PEM") << "" << QStringList{"--mqtt-ca=%D/pw600"}
                                    << "error: --mqtt-ca: \"%D/pw600\" holds no PEM certificate OpenSSL can read";
        QTest::newRow("a NUL in a file's value")
            << QStringLiteral("[mqtt]\nprefix = a") + QChar(0) + QStringLiteral("b\n") << QStringList{}
            << "error: %D/xdg/halvern/console.conf:2: prefix: holds a control "
               "character (U+0000 at 2)";
        QTest::newRow("--remote, the file's broker")
            << file << QStringList{"--remote", "pumphouse"} << "file:1883 fp 5=2 remote=pumphouse " + defaultFile;
        QTest::newRow("--remote-list, --mqtt")
            << "" << QStringList{"--remote-list", "--mqtt=mqtt://cli"} << "cli:1883 halvern 5=60 list file=";
        QTest::newRow("a credential, none handed over")
            << "" << QStringList{"--mqtt-password-credential", "pw"}
            << "error: --mqtt-password-credential: no credentials from systemd";
    }
    void configFile()
    {
        QFETCH(QString, defaultFile);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir().mkpath(dir.filePath(QStringLiteral("xdg/halvern"))));
        const auto write = [&dir](const char *name, const QString &text, int mode) {
            QFile out(dir.filePath(QLatin1String(name)));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) == text.toUtf8().size());
            QVERIFY(out.setPermissions(QFileDevice::Permissions::fromInt(mode)));
        };
        if (!defaultFile.isEmpty())
            write("xdg/halvern/console.conf", QString(defaultFile).replace(QStringLiteral("%D"), dir.path()), 0x6644);
        write("other.conf", QStringLiteral("[mqtt]\nurl = mqtt://other\n"), 0x6644);
        write("pw640", QStringLiteral("secret\n"), 0x6640);
        write("pw600", QStringLiteral("secret"), 0x6600);
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("xdg")));
        arguments.replaceInStrings(QStringLiteral("%D"), dir.path());

        const auto parsed = parseCommandLine(arguments, environment);
        QString actual;
        if (const auto *error = std::get_if<CommandLineError>(&parsed)) {
            actual = QStringLiteral("error: ") + error->message;
        } else {
            const CommandLine &options = std::get<CommandLine>(parsed);
            actual = QStringLiteral("%1:%2 %3 5=%4 %5%6")
                         .arg(options.mqtt.host)
                         .arg(options.mqtt.port)
                         .arg(options.mqtt.prefix)
                         .arg(options.events.silentAfterMinutesFor(5))
                         .arg(options.remoteList         ? QStringLiteral("list ")
                              : options.remote.isEmpty() ? QString()
                                                         : QStringLiteral("remote=%1 ").arg(options.remote))
                         .arg(options.mqtt.password.isEmpty()
                                  ? QStringLiteral("file=") + options.configFile
                                  : QStringLiteral("pw=") + QString::fromUtf8(options.mqtt.password));
        }
        QVERIFY2(actual.startsWith(expected.replace(QStringLiteral("%D"), dir.path())), qPrintable(actual));
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
