// The station's options: command line, config file, which one wins, which
// file is read, and the one-line errors that stop a start.
#include "station/stationoptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

QString errorOf(const std::variant<StationOptions, StationOptionsError> &parsed)
{
    const auto *error = std::get_if<StationOptionsError>(&parsed);
    return error ? error->message : QString();
}

// The options in one line, to compare whole rows at once.
QString summary(const std::variant<StationOptions, StationOptionsError> &parsed)
{
    if (const auto *error = std::get_if<StationOptionsError>(&parsed))
        return QStringLiteral("error: ") + error->message;
    const StationOptions &o = std::get<StationOptions>(parsed);
    return QStringLiteral("%1 %2 log=%3 %4 base=%5 filter=%6 json=%7")
        .arg(o.port, o.baudSettings)
        .arg(int(o.log))
        .arg(o.logFolder, o.baseName)
        .arg(o.filter)
        .arg(o.json ? QStringLiteral("true") : QStringLiteral("false"));
}

} // namespace

class TestStationOptions : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString conf; // a config file in tmp
    // "%D" stands for the temporary folder, "%F" for the config file.
    QString expand(QString text) const
    {
        return text.replace(QStringLiteral("%D"), tmp.path()).replace(QStringLiteral("%F"), conf);
    }
    QStringList expand(QStringList list) const
    {
        for (QString &item : list)
            item = expand(item);
        return list;
    }

private slots:
    void init()
    {
        QVERIFY(tmp.isValid());
        conf = tmp.filePath(QStringLiteral("station.conf"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("defaults") << QStringList{"--port", "/dev/ttyUSB0"}
                                  << "/dev/ttyUSB0 9600,n,8,1 log=0  base=halvernlog filter=0 json=false";
        QTest::newRow("spaced values") << QStringList{"--port", "/dev/a",       "--baud", "4800",        "--log",
                                                      "every",  "--filter",     "123",    "--base-name", "x_",
                                                      "--json", "--log-folder", "%D"}
                                       << "/dev/a 4800,n,8,1 log=1 %D/ base=x_ filter=123 json=true";
        QTest::newRow("joined values, folder gains /")
            << QStringList{"--port=/dev/b",   "--baud=19200",      "--log=snapshot",
                           "--log-folder=%D", "--filter=16777215", "--json=no"}
            << "/dev/b 19200,n,8,1 log=3 %D/ base=halvernlog filter=16777215 json=false";
        QTest::newRow("folder kept with its /")
            << QStringList{"--port", "p", "--log-folder", "%D/", "--log", "separate"}
            << "p 9600,n,8,1 log=2 %D/ base=halvernlog filter=0 json=false";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(summary(parseStationOptions(expand(arguments), {})), expand(expected));
    }

    void badCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList{"--port", "p", "--verbose=1"} << "unknown option \"--verbose\"";
        QTest::newRow("short") << QStringList{"-p", "x"} << "unexpected argument \"-p\"";
        QTest::newRow("stray") << QStringList{"--json", "yes"} << "unexpected argument \"yes\"";
        QTest::newRow("no value") << QStringList{"--port"} << "--port wants a value (DEVICE)";
        QTest::newRow("twice") << QStringList{"--baud=4800", "--baud=4800"} << "--baud is given twice";
        QTest::newRow("baud") << QStringList{"--baud", "9601"} << "--baud: \"9601\" is not 4800, 9600 or 19200";
        QTest::newRow("log") << QStringList{"--log=all"} << "--log: \"all\" is not every, separate, snapshot or off";
        QTest::newRow("filter high") << QStringList{"--filter=16777216"}
                                     << "--filter: \"16777216\" is not a whole number from 0 to 16777215";
        QTest::newRow("filter sign") << QStringList{"--filter=+5"}
                                     << "--filter: \"+5\" is not a whole number from 0 to 16777215";
        QTest::newRow("filter huge") << QStringList{"--filter=99999999999999999999"}
                                     << "--filter: \"99999999999999999999\" is not a whole number from 0 to 16777215";
        QTest::newRow("json") << QStringList{"--json=maybe"}
                              << "--json: \"maybe\" is not true or false (nor 1 or 0, yes or no)";
        QTest::newRow("help value") << QStringList{"--help=all"} << "--help takes no value";
        QTest::newRow("empty port") << QStringList{"--port="} << "--port: names no device";
        for (const char *base : {"a/b", "a\\b", "..x"})
            QTest::addRow("base %s", base)
                << QStringList{"--base-name", base}
                << QStringLiteral(
                       "--base-name: \"%1\" holds \"/\", \"\\\" or \"..\": the log files stay in the log folder")
                       .arg(QLatin1String(base));
        QTest::newRow("no port") << QStringList{}
                                 << "no port: give --port DEVICE, or port in the [station] section of the config file";
        QTest::newRow("config missing") << QStringList{"--port=p", "--config", "%D/none.conf"}
                                        << "--config: \"%D/none.conf\" does not exist";
        QTest::newRow("log without folder")
            << QStringList{"--port=p", "--log=every"}
            << "--log: \"every\" needs a log folder: give --log-folder DIR, or log-folder in the config file";
        QTest::newRow("folder missing") << QStringList{"--port=p", "--log-folder=%D/gone/"}
                                        << "--log-folder: \"%D/gone\" does not exist";
        QTest::newRow("folder is a file") << QStringList{"--port=p", "--log-folder=%D/station.conf"}
                                          << "--log-folder: \"%D/station.conf\" is not a folder";
    }
    void badCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        writeFile(conf, "[station]\n");
        QCOMPARE(errorOf(parseStationOptions(expand(arguments), {})), expand(message));
    }

    // What the file sets holds unless the command line sets it too; the file
    // is checked whole even where the command line overrides it.
    void precedence_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        const QByteArray full = "; the station\n"
                                "[station]\n"
                                "port = /dev/file\n"
                                "  baud=4800  \r\n"
                                "# logging\n"
                                "log-folder = \"%D\"\n"
                                "log = every\n"
                                "base-name = \"from file\"\n"
                                "filter = 77\n"
                                "json = Yes\n";
        QTest::newRow("file alone") << full << QStringList{}
                                    << "/dev/file 4800,n,8,1 log=1 %D/ base=from file filter=77 json=true";
        QTest::newRow("command line wins")
            << full << QStringList{"--port=/dev/cli", "--baud", "19200", "--log=off", "--json=0", "--filter=0"}
            << "/dev/cli 19200,n,8,1 log=0 %D/ base=from file filter=0 json=false";
        QTest::newRow("file completes the command line")
            << QByteArray("[station]\nlog-folder=%D\n") << QStringList{"--port=p", "--log=separate"}
            << "p 9600,n,8,1 log=2 %D/ base=halvernlog filter=0 json=false";
        QTest::newRow("overridden bad value still refused")
            << QByteArray("[station]\nbaud = 300\n") << QStringList{"--port=p", "--baud=4800"}
            << "error: %F:2: baud: \"300\" is not 4800, 9600 or 19200";
        QTest::newRow("log from file needs a folder")
            << QByteArray("[station]\nport=p\n\nlog = snapshot\n") << QStringList{}
            << "error: %F:4: log: \"snapshot\" needs a log folder: give --log-folder DIR, or log-folder in the config "
               "file";
        QTest::newRow("folder from file missing")
            << QByteArray("[station]\nport=p\nlog-folder=%D/gone\n") << QStringList{}
            << "error: %F:3: log-folder: \"%D/gone\" does not exist";
    }
    void precedence()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        writeFile(conf, expand(QString::fromUtf8(file)).toUtf8());
        const auto parsed = parseStationOptions(expand(arguments) << QStringLiteral("--config") << conf, {});
        QCOMPARE(summary(parsed), expand(expected));
        if (const auto *options = std::get_if<StationOptions>(&parsed))
            QCOMPARE(options->configFile, conf);
    }

    void badConfigFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown key") << QByteArray("[station]\nport = p\nspeed = 9600\n")
                                     << "%F:3: speed: unknown key in [station] (known: port, baud, log-folder, log, "
                                        "base-name, filter, json)";
        QTest::newRow("command-line only key")
            << QByteArray("[station]\nconfig = x\n")
            << "%F:2: config: unknown key in [station] (known: port, baud, log-folder, log, base-name, filter, json)";
        QTest::newRow("unknown section") << QByteArray("[station]\nport = p\n\n[mqtt]\n")
                                         << "%F:4: [mqtt]: unknown section (known: [station])";
        QTest::newRow("bad value on line 7") << QByteArray("# c\n; c\n\n[station]\nport = p\nlog = off\nbaud = 9601\n")
                                             << "%F:7: baud: \"9601\" is not 4800, 9600 or 19200";
        QTest::newRow("quoted bad value") << QByteArray("[station]\nfilter = \"12 \"\n")
                                          << "%F:2: filter: \"12 \" is not a whole number from 0 to 16777215";
        QTest::newRow("not a key line") << QByteArray("[station]\nport /dev/x\n")
                                        << "%F:2: \"port /dev/x\" is not a \"key = value\" line, a [section] or a "
                                           "comment";
        QTest::newRow("no key") << QByteArray("[station]\n= 4800\n")
                                << "%F:2: \"= 4800\" is not a \"key = value\" line, a [section] or a comment";
        QTest::newRow("outside a section")
            << QByteArray("port = p\n[station]\n") << "%F:1: port: outside every section (put it under [station])";
        QTest::newRow("twice") << QByteArray("[station]\nbaud = 4800\n[station]\nbaud = 4800\n")
                               << "%F:4: baud: given twice in [station] (first on line 2)";
        QTest::newRow("open quote") << QByteArray("[station]\nport = \"/dev/x\n")
                                    << "%F:2: port: the closing quote is missing";
        QTest::newRow("a device") << QByteArray() << "/dev/zero: more than 1048576 bytes, not a config file";
        QTest::newRow("not UTF-8") << QByteArray("[station]\nport = /dev/\xff\n") << "%F:2: not UTF-8 text";
        QTest::newRow("unsafe base") << QByteArray("[station]\nbase-name = ../x\n")
                                     << "%F:2: base-name: \"../x\" holds \"/\", \"\\\" or \"..\": the log files stay "
                                        "in the log folder";
    }
    void badConfigFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        writeFile(conf, file);
        const QString path = file.isEmpty() ? QStringLiteral("/dev/zero") : conf;
        QCOMPARE(errorOf(parseStationOptions({"--port=p", "--config", path}, {})), expand(message));
    }

    // systemd's folder first, then XDG_CONFIG_HOME if absolute, then ~/.config;
    // a default file that is not there is no error.
    void defaultFile_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("read");
        QTest::newRow("systemd") << QStringList{"CONFIGURATION_DIRECTORY=%D/etc", "XDG_CONFIG_HOME=%D/xdg",
                                                "HOME=%D/home"}
                                 << "%D/etc/station.conf";
        QTest::newRow("systemd, two folders")
            << QStringList{"CONFIGURATION_DIRECTORY=%D/etc:%D/xdg", "HOME=%D/home"} << "%D/etc/station.conf";
        QTest::newRow("XDG") << QStringList{"XDG_CONFIG_HOME=%D/xdg", "HOME=%D/home"} << "%D/xdg/halvern/station.conf";
        QTest::newRow("XDG relative") << QStringList{"XDG_CONFIG_HOME=xdg", "HOME=%D/home"}
                                      << "%D/home/.config/halvern/station.conf";
        QTest::newRow("home") << QStringList{"HOME=%D/home"} << "%D/home/.config/halvern/station.conf";
        QTest::newRow("systemd folder without the file")
            << QStringList{"CONFIGURATION_DIRECTORY=%D", "HOME=%D/home"} << "";
        QTest::newRow("nothing named") << QStringList{} << "";
    }
    void defaultFile()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, read);
        QProcessEnvironment env; // empty, unlike systemEnvironment()
        for (const QString &pair : expand(environment))
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        for (const char *file : {"etc/station.conf", "xdg/halvern/station.conf", "home/.config/halvern/station.conf"}) {
            const QString path = tmp.filePath(QLatin1String(file));
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            writeFile(path, "[station]\nport = " + path.toUtf8() + "\n");
        }
        QFile::remove(conf);

        const auto parsed = parseStationOptions({}, env);
        if (read.isEmpty()) {
            QCOMPARE(errorOf(parsed),
                     QStringLiteral("no port: give --port DEVICE, or port in the [station] "
                                    "section of %1")
                         .arg(defaultStationConfigFile(env).isEmpty() ? QStringLiteral("the config file")
                                                                      : defaultStationConfigFile(env)));
            return;
        }
        QCOMPARE(errorOf(parsed), QString());
        QCOMPARE(std::get<StationOptions>(parsed).configFile, expand(read));
        QCOMPARE(std::get<StationOptions>(parsed).port, expand(read));
    }

    // The folder is checked as the service's user finds it. Root, whom
    // permissions do not stop, acts as nobody for the check.
    void readOnlyLogFolder()
    {
        const QString folder = tmp.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(tmp.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        const bool root = ::geteuid() == 0;
        QVERIFY(!root || ::seteuid(kNobody) == 0);
        const QString message = errorOf(parseStationOptions({"--port=p", "--log-folder", folder}, {}));
        if (root && ::seteuid(0) != 0)
            qFatal("cannot become root again");
        QCOMPARE(message, QStringLiteral("--log-folder: \"%1\" is not writable (Permission denied)").arg(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    }

    // Neither reads a file nor checks a folder, so either works on a machine
    // whose configuration is broken.
    void helpAndVersionTouchNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("help");
        QTest::newRow("help") << QStringList{"--help", "--log-folder=/gone", "--log=every"} << true;
        QTest::newRow("version") << QStringList{"--version"} << false;
        QTest::newRow("missing --config") << QStringList{"--config=/gone.conf", "--version"} << false;
    }
    void helpAndVersionTouchNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, help);
        writeFile(conf, "[nonsense]\n");
        QProcessEnvironment env;
        env.insert(QStringLiteral("CONFIGURATION_DIRECTORY"), tmp.path());
        QVERIFY(!errorOf(parseStationOptions({}, env)).isEmpty()); // the file is read without them

        const auto parsed = parseStationOptions(arguments, env);
        QCOMPARE(errorOf(parsed), QString());
        QCOMPARE(std::get<StationOptions>(parsed).help, help);
        QCOMPARE(std::get<StationOptions>(parsed).version, !help);
        QCOMPARE(std::get<StationOptions>(parsed).configFile, QString());
    }

    // help2man builds the manual page from --help: it wants the usage line
    // first and each option on a line of its own, indented.
    void usageSuitsHelp2man()
    {
        const QStringList lines = stationUsage().split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("Usage: halvern-station [OPTION]..."));
        for (const char *option :
             {"--port DEVICE ", "--baud RATE ", "--log-folder DIR ", "--log MODE ", "--base-name NAME ", "--filter N ",
              "--json ", "--config FILE ", "--help ", "--version "}) {
            const auto line = std::find_if(lines.begin(), lines.end(), [option](const QString &text) {
                return text.startsWith(QStringLiteral("  ") + QLatin1String(option));
            });
            QVERIFY2(line != lines.end() && line->size() < 80, option);
        }
        QVERIFY(stationUsage().contains(QStringLiteral("Exit status: 0 clean exit, 1 failure, 2 bad configuration.")));
        QCOMPARE(stationVersion(), QStringLiteral("halvern-station ") + QStringLiteral(HALVERN_VERSION));
    }
};

QTEST_GUILESS_MAIN(TestStationOptions)
#include "tst_stationoptions.moc"
