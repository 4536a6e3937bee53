// The console's optional arguments.
#include "app/commandline.h"

#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
