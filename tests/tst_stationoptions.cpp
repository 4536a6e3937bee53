// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The station's options: command line, config file, which one wins, which
// file is read, and the one-line errors that stop a start.
#include "station/stationoptions.h"
#include "support/posixacl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::literals;

namespace {

constexpr uid_t kNobody = 65534;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

// The options in one line, or "error: " and the message.
QString summary(const std::variant<StationOptions, StationOptionsError> &parsed)
{
    if (const auto *error = std::get_if<StationOptionsError>(&parsed))
        return QStringLiteral("error: ") + error->message;
    const StationOptions &o = std::get<StationOptions>(parsed);
    return QStringLiteral("%1 %2 log=%3 %4 base=%5 filter=%6 json=%7 commands=%8")
        .arg(o.port, o.baudSettings)
        .arg(int(o.log))
        .arg(o.logFolder, o.baseName)
        .arg(o.filter)
        .arg(o.json ? QStringLiteral("true") : QStringLiteral("false"))
        .arg(o.acceptCommands ? QStringLiteral("true") : QStringLiteral("false"));
}

// The MQTT and event options in one line, or "error: " and the message.
QString mqttSummary(const std::variant<StationOptions, StationOptionsError> &parsed)
{
    if (const auto *error = std::get_if<StationOptionsError>(&parsed))
        return QStringLiteral("error: ") + error->message;
    const MqttOptions &m = std::get<StationOptions>(parsed).mqtt;
    const EventOptions &e = std::get<StationOptions>(parsed).events;
    QString text = QStringLiteral("%1:%2 tls=%3 user=%4 pw=%5 prefix=%6 station=%7 hook=%8 silent=%9")
                       .arg(m.host)
                       .arg(m.port)
                       .arg(m.tls)
                       .arg(m.user, QString::fromUtf8(m.password), m.prefix, m.station, e.onEvent)
                       .arg(e.silentAfterMinutes);
    text += QStringLiteral(" rx=%1").arg(e.receiverSilentAfterMinutes);
    for (auto it = e.silentAfter.cbegin(); it != e.silentAfter.cend(); ++it)
        text += QStringLiteral(" %1=%2").arg(it.key()).arg(it.value());
    return text;
}

} // namespace

class TestStationOptions : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString conf;
    // "%D" stands for the temporary folder, "%F" for the config file.
    QString expand(QString text) const
    {
        return text.replace(QStringLiteral("%D"), tmp.path()).replace(QStringLiteral("%F"), conf);
    }

private slots:
    // A CA certificate, its key, and the certificate in DER, as openssl makes them.
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        const auto openssl = [this](const QString &arguments) {
            QProcess process;
            process.setWorkingDirectory(tmp.path());
            process.start(QStringLiteral("openssl"), arguments.split(u' '));
            return process.waitForFinished(30000) && process.exitCode() == 0;
        };
        QVERIFY(openssl(QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                                       "-keyout ca.key -out ca.pem -subj /CN=ca")));
        QVERIFY(openssl(QStringLiteral("x509 -in ca.pem -outform DER -out ca.der")));
    }

    void init()
    {
        QVERIFY(tmp.isValid());
        conf = tmp.filePath(QStringLiteral("station.conf"));
    }

    // A row: the config file (none if empty), the arguments split at blanks,
    // and the options as summary() writes them, or the start of the error.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        const char *full = "; the station\n[station]\nport = /dev/file\n  baud=4800  \r\n# logging\n"
                           "log-folder = \"%D\"\nlog = every\nbase-name = \"from file\"\nfilter = 77\njson = Yes\n"
                           "accept-commands = TRUE\n";
        struct Row {
            const char *name, *file, *arguments, *expected;
        };
        const Row rows[] = {
            // clang-format off
            {"defaults", "", "--port /dev/ttyUSB0",
             "/dev/ttyUSB0 9600,n,8,1 log=0  base=halvernlog filter=0 json=false commands=false"},
            {"spaced", "", "--port a --baud 4800 --log every --filter 123 --base-name x_ --json --log-folder %D/",
             "a 4800,n,8,1 log=1 %D/ base=x_ filter=123 json=true commands=false"},
            {"commands accepted", "", "--port a --accept-commands",
             "a 9600,n,8,1 log=0  base=halvernlog filter=0 json=false commands=true"},
            {"commands in the file", "[station]\naccept-commands = 1\n", "--port a",
             "a 9600,n,8,1 log=0  base=halvernlog filter=0 json=false commands=true"},
            {"commands, a bad boolean", "[station]\naccept-commands = on\n", "--port a",
             "error: %F:2: accept-commands: \"on\" is not true or false (nor 1 or 0, yes or no)"},
            {"joined, folder gains /", "",
             "--port=b --baud=19200 --log=snapshot --log-folder=%D --filter=16777215 --json=no",
             "b 19200,n,8,1 log=3 %D/ base=halvernlog filter=16777215 json=false commands=false"},
            {"file alone", full, "", "/dev/file 4800,n,8,1 log=1 %D/ base=from file filter=77 json=true commands=true"},
            {"command line wins", full, "--port=cli --baud 19200 --log=off --json=0 --filter=0 --accept-commands=no",
             "cli 19200,n,8,1 log=0 %D/ base=from file filter=0 json=false commands=false"},
            {"file completes", "[station]\nlog-folder=%D\n", "--port=p --log=separate",
             "p 9600,n,8,1 log=2 %D/ base=halvernlog filter=0 json=false commands=false"},

            {"unknown option", "", "--port p --verbose=1", "error: unknown option \"--verbose\""},
            {"short option", "", "-p x", "error: unexpected argument \"-p\""},
            {"stray", "", "--json yes", "error: unexpected argument \"yes\""},
            {"no value", "", "--port", "error: --port wants a value (DEVICE)"},
            {"twice", "", "--baud=4800 --baud=4800", "error: --baud is given twice"},
            {"baud", "", "--baud 9601", "error: --baud: \"9601\" is not 4800, 9600 or 19200"},
            {"filter high", "", "--filter=16777216", "error: --filter: \"16777216\" is not a whole"},
            {"filter sign", "", "--filter=+5", "error: --filter: \"+5\" is not a whole"},
            {"value with %1", "", "--filter=%1", "error: --filter: \"%1\" is not a whole number from 0 to 16777215"},
            {"base name", "", "--base-name a\\b", "error: --base-name: \"a\\b\" holds"},
            {"help value", "", "--help=all", "error: --help takes no value"},
            {"no port", "", "", "error: no port: give --port DEVICE, or port in the [station]"},
            {"config missing", "", "--config %D/none", "error: --config: \"%D/none\" does not exist"},
            {"log, no folder", "", "--port=p --log=every", "error: --log: \"every\" needs a log folder"},
            {"folder missing", "", "--port=p --log-folder=%D/gone/", "error: --log-folder: \"%D/gone\" does not exist"},
            {"folder a file", "[station]\n", "--port=p --log-folder=%F", "error: --log-folder: \"%F\" is not a folder"},

            // The file is checked whole, even where the command line overrides it.
            {"bad, overridden", "[station]\nbaud = 300\n", "--port=p --baud=4800",
             "error: %F:2: baud: \"300\" is not 4800, 9600 or 19200"},
            {"bad on line 7", "# c\n; c\n\n[station]\nport = p\nlog = off\nbaud = 9601\n", "",
             "error: %F:7: baud: \"9601\" is not"},
            {"unknown key", "[station]\nport = p\nspeed = 9600\n", "",
             "error: %F:3: speed: unknown key in [station] (known: port, baud, log-folder"},
            {"command-line key", "[station]\nconfig = x\n", "", "error: %F:2: config: unknown key"},
            {"unknown section", "[station]\nport = p\n[broker]\n", "",
             "error: %F:3: [broker]: unknown section (known: [station], [mqtt], [events], [silent-after])"},
            {"not key = value", "[station]\nport /dev/x\n", "",
             "error: %F:2: \"port /dev/x\" is not a \"key = value\" line"},
            {"outside sections", "port = p\n[station]\n", "", "error: %F:1: port: outside every section"},
            {"key twice", "[station]\nbaud = 4800\n[station]\nbaud = 4800\n", "",
             "error: %F:4: baud: given twice in [station] (first on line 2)"},
            {"open quote", "[station]\nport = \"/dev/x\n", "", "error: %F:2: port: the closing quote is missing"},
            {"log from file", "[station]\nport=p\nlog = snapshot\n", "",
             "error: %F:3: log: \"snapshot\" needs a log folder"},
            {"not UTF-8", "[station]\nport = \xff\n", "", "error: %F:2: not UTF-8 text"},
            {"a device", "", "--port=p --config=/dev/zero", "error: /dev/zero: not a regular file, not a config file"},
            // clang-format on
        };
        for (const Row &row : rows)
            QTest::newRow(row.name) << QByteArray(row.file) << QString::fromLatin1(row.arguments)
                                    << QString::fromLatin1(row.expected);
    }
    void parse()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QStringList list = expand(arguments).split(u' ', Qt::SkipEmptyParts);
        if (!file.isEmpty()) {
            writeFile(conf, expand(QString::fromLatin1(file)).toLatin1());
            list << QStringLiteral("--config") << conf;
        }
        const auto parsed = parseStationOptions(list, {});
        const QString actual = summary(parsed);
        if (expected.startsWith(QLatin1String("error: ")))
            QVERIFY2(actual.startsWith(expand(expected)), qPrintable(actual));
        else
            QCOMPARE(actual, expand(expected));
        if (const auto *options = std::get_if<StationOptions>(&parsed))
            QCOMPARE(options->configFile, file.isEmpty() ? QString() : conf);
    }

    // The MQTT and event options, on the command line and in their sections.
    // Files in %D: pw600 (mode 0600), pw640, pw604, hook (executable), text.
    // "%H" stands for the station name made from the host name.
    void mqttAndEvents_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        struct Row {
            const char *name, *file, *arguments, *expected;
        };
        const Row rows[] = {
            // clang-format off
            {"defaults", "", "", ":0 tls=0 user= pw= prefix=halvern station=%H hook= silent=60 rx=15"},
            {"mqtt, default port", "", "--mqtt mqtt://broker.lan", "broker.lan:1883 tls=0"},
            {"mqtts, default port", "", "--mqtt=mqtts://b", "b:8883 tls=1"},
            {"port given", "", "--mqtt mqtts://b:1", "b:1 tls=1"},
            {"IPv6", "", "--mqtt mqtt://[::1]:65535", "::1:65535 tls=0"},
            {"everything", "", "--mqtt mqtt://h --mqtt-user u --mqtt-password-file %D/pw600 --mqtt-ca %D/ca.pem "
             "--mqtt-prefix a/b-c/d_E --station Pump-2_b --on-event %D/hook --silent-after 525600 "
             "--receiver-silent-after 1",
             "h:1883 tls=0 user=u pw=secret prefix=a/b-c/d_E station=Pump-2_b hook=%D/hook silent=525600 rx=1"},
            {"from the file", "[mqtt]\nurl = mqtt://f:99\nprefix = fp\nstation = fs\n[events]\nsilent-after = 5\n"
             "[silent-after]\n74565 = 180\n16777215 = 1\n", "",
             "f:99 tls=0 user= pw= prefix=fp station=fs hook= silent=5 rx=15 74565=180 16777215=1"},
            {"command line wins", "[mqtt]\nurl = mqtt://f\nprefix = fp\n[events]\nsilent-after = 5\n",
             "--mqtt mqtt://cli --silent-after 7", "cli:1883 tls=0 user= pw= prefix=fp station=%H hook= silent=7"},

            // The address's own grammar is tst_mqttclient's parsesBrokerAddresses; here
            // its errors reach the user with their origin.
            {"scheme", "", "--mqtt http://h", "error: --mqtt: \"http://h\" is not mqtt://HOST[:PORT] or mqtts://"},
            {"port 0", "", "--mqtt mqtt://h:0", "error: --mqtt: \"mqtt://h:0\": the port \"0\" is not a whole number"},
            {"url in file", "[mqtt]\nurl = tcp://h\n", "--mqtt mqtt://h", "error: %F:2: url: \"tcp://h\" is not"},
            {"prefix wildcard", "", "--mqtt-prefix a/+", "error: --mqtt-prefix: \"a/+\" is not letters"},
            {"prefix empty level", "", "--mqtt-prefix a//b", "error: --mqtt-prefix: \"a//b\" is not"},
            {"prefix leading /", "", "--mqtt-prefix=/a", "error: --mqtt-prefix: \"/a\" is not"},
            {"station with a dot", "", "--station pc.lan", "error: --station: \"pc.lan\" is not letters, digits"},
            {"station empty", "[mqtt]\nstation =\n", "", "error: %F:2: station: \"\" is not"},
            {"minutes 0", "", "--silent-after 0", "error: --silent-after: \"0\" is not a whole number of minutes"},
            {"minutes, a year and one", "", "--receiver-silent-after=525601", "error: --receiver-silent-after: \"525601\""},
            {"unknown [mqtt] key", "[mqtt]\nhost = h\n", "",
             "error: %F:2: host: unknown key in [mqtt] (known: url, user, password-file, password-credential, ca, prefix, "
             "station)"},
            {"option name as key", "[events]\nsilent-after = 5\nmqtt-user = u\n", "", "error: %F:3: mqtt-user: unknown key in [events]"},
            {"transmitter 0", "[silent-after]\n1 = 5\n0 = 5\n", "",
             "error: %F:3: 0: not a transmitter number from 1 to 16777215"},
            {"transmitter too big", "[silent-after]\n16777216 = 5\n", "", "error: %F:2: 16777216: not a transmitter"},
            {"transmitter twice", "[silent-after]\n12 = 5\n012 = 6\n", "", "error: %F:3: 012: transmitter 12 is given twice"},
            {"silent 0 minutes", "[silent-after]\n12 = 0\n", "", "error: %F:2: 12: \"0\" is not a whole number of minutes"},
            {"password 0640", "", "--mqtt-password-file %D/pw640",
             "error: --mqtt-password-file: \"%D/pw640\" is open to others than its owner (mode 0640): chmod 600 \"%D/pw640\""},
            {"password 0604, from the file", "[mqtt]\npassword-file = %D/pw604\n", "",
             "error: %F:2: password-file: \"%D/pw604\" is open to others than its owner (mode 0604)"},
            {"password missing", "", "--mqtt-password-file %D/none", "error: --mqtt-password-file: \"%D/none\": No such file"},
            {"password a folder", "", "--mqtt-password-file %D", "error: --mqtt-password-file: \"%D\" is not a regular file"},
            {"password empty", "", "--mqtt-password-file %D/empty600", "error: --mqtt-password-file: \"%D/empty600\" holds no password"},
            {"CA missing", "", "--mqtt-ca %D/none", "error: --mqtt-ca: \"%D/none\" does not exist"},
            // The CA file is loaded as the TLS connection loads it.
            {"CA, PEM", "[mqtt]\nca = %D/ca.pem\n", "", ":0 tls=0"},
            {"CA, DER", "", "--mqtt-ca %D/ca.der",
             "error: --mqtt-ca: \"%D/ca.der\" holds no PEM certificate OpenSSL can read (no certificate or crl found)"},
            {"CA, empty", "", "--mqtt-ca %D/empty", "error: --mqtt-ca: \"%D/empty\" holds no PEM certificate"},
            {"CA, text", "[mqtt]\nca = %D/text\n", "", "error: %F:2: ca: \"%D/text\" holds no PEM certificate"},
            {"CA, a key", "", "--mqtt-ca %D/ca.key", "error: --mqtt-ca: \"%D/ca.key\" holds no PEM certificate"},
            {"CA, a folder", "", "--mqtt-ca %D", "error: --mqtt-ca: \"%D\" is not a regular file"},
            {"password, no line feed", "", "--mqtt-password-file %D/pw600nolf", ":0 tls=0 user= pw=secret prefix"},
            {"password, a line too long", "", "--mqtt-password-file %D/pwlong",
             "error: --mqtt-password-file: \"%D/pwlong\": the first line is longer than 4096 bytes"},
            // A station name fits a host name, a prefix keeps the longest topic short.
            {"station, 64", "", "--station S234567890123456789012345678901234567890123456789012345678901234",
             ":0 tls=0 user= pw= prefix=halvern station=S234567890123456789012345678901234567890123456789012345678901234"},
            {"station, 65", "", "--station S2345678901234567890123456789012345678901234567890123456789012345",
             "error: --station: 65 characters, more than the 64 a station name may have"},
            {"prefix, 128", "", "--mqtt-prefix P234567890123456789012345678901234567890123456789012345678901234/"
             "P23456789012345678901234567890123456789012345678901234567890123", ":0 tls=0 user= pw= prefix=P2"},
            {"prefix, 129", "[mqtt]\nprefix = P234567890123456789012345678901234567890123456789012345678901234/"
             "P234567890123456789012345678901234567890123456789012345678901234\n", "",
             "error: %F:2: prefix: 129 characters, more than the 128 a prefix may have"},
            {"hook not executable", "[events]\non-event = %D/text\n", "",
             "error: %F:2: on-event: \"%D/text\" is not executable (Permission denied)"},
            {"hook a folder", "", "--on-event %D", "error: --on-event: \"%D\" is not a file"},
            {"given twice", "", "--mqtt-user=a --mqtt-user=b", "error: --mqtt-user is given twice"},
            {"no value", "", "--station", "error: --station wants a value (NAME)"},
            // clang-format on
        };
        for (const Row &row : rows)
            QTest::newRow(row.name) << QByteArray(row.file) << QString::fromLatin1(row.arguments)
                                    << QString::fromLatin1(row.expected);
    }
    void mqttAndEvents()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        struct Made {
            const char *name;
            QByteArray text;
            mode_t mode;
        };
        for (const Made &made :
             {Made{"pw600", "secret\r\nnot this\n", 0600}, Made{"pw640", "secret\n", 0640},
              Made{"pw604", "secret", 0604}, Made{"empty600", "\nsecret\n", 0600}, Made{"hook", "#!/bin/sh\n", 0755},
              Made{"text", "text\n", 0644}, Made{"pw600nolf", "secret", 0600},
              Made{"pwlong", QByteArray(4097, 'x'), 0600}, Made{"empty", "", 0644}}) {
            const QString path = tmp.filePath(QLatin1String(made.name));
            writeFile(path, made.text);
            QVERIFY(::chmod(QFile::encodeName(path).constData(), made.mode) == 0);
        }
        const QStringList list = QStringList{QStringLiteral("--port=p")}
                                 + expand(arguments).split(u' ', Qt::SkipEmptyParts)
                                 + (file.isEmpty() ? QStringList() : QStringList{QStringLiteral("--config"), conf});
        if (!file.isEmpty())
            writeFile(conf, expand(QString::fromLatin1(file)).toLatin1());
        const QString actual = mqttSummary(parseStationOptions(list, {}));
        expected = expand(expected).replace(QStringLiteral("%H"), ::stationNameFromHost(QSysInfo::machineHostName()));
        QVERIFY2(actual.startsWith(expected), qPrintable(actual));
    }

    // No value a path, file name or topic is made of may hold a control
    // character (a NUL in base-name cut every day's file name short): on the
    // command line or in the file, one line naming the option or file:line: key.
    void controlCharacters_data()
    {
        QTest::addColumn<QString>("where"); // "--option", or "section/key" in the config file
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        struct Row {
            const char *where;
            std::u16string_view value;
            const char *expected;
        };
        const Row rows[] = {
            {"--port", u"/dev/tty\nUSB0"sv, "--port: holds a control character (U+000A at 9)"},
            {"--log-folder", u"/var/log\x01"sv, "--log-folder: holds a control character (U+0001 at 9)"},
            {"--base-name", u"log\x7f"sv, "--base-name: holds a control character (U+007F at 4)"},
            {"--mqtt-password-file", u"/pw\x1b"sv, "--mqtt-password-file: holds a control character (U+001B at 4)"},
            {"--mqtt-password-credential", u"pw\r"sv, "--mqtt-password-credential: holds a control character (U+000D"},
            {"--mqtt-ca", u"\x9f/ca"sv, "--mqtt-ca: holds a control character (U+009F at 1)"},
            {"--on-event", u"/bin/true\x80"sv, "--on-event: holds a control character (U+0080 at 10)"},
            {"--mqtt-prefix", u"a\x85"sv, "--mqtt-prefix: holds a control character (U+0085 at 2)"},
            {"--station", u"pump\0house"sv, "--station: holds a control character (U+0000 at 5)"},
            {"--mqtt-user", u"u\ts"sv, "--mqtt-user: holds a control character (U+0009 at 2)"},
            {"--config", u"/etc/x\0.conf"sv, "--config: holds a control character (U+0000 at 7)"},
            {"station/base-name", u"day\0x"sv, "%F:2: base-name: holds a control character (U+0000 at 4)"},
            {"station/port", u"/dev/\x9b"sv, "%F:2: port: holds a control character (U+009B at 6)"},
            {"station/log-folder", u"\"/var/\tlog\""sv, "%F:2: log-folder: holds a control character (U+0009 at 6)"},
            {"mqtt/station", u"a\x1f"sv, "%F:2: station: holds a control character (U+001F at 2)"},
            {"mqtt/prefix", u"p\x7f/q"sv, "%F:2: prefix: holds a control character (U+007F at 2)"},
            {"mqtt/password-file", u"/p\x0bw"sv, "%F:2: password-file: holds a control character (U+000B at 3)"},
            {"events/on-event", u"/bin/\x01true"sv, "%F:2: on-event: holds a control character (U+0001 at 6)"},
            {"station/ba\x01se-name", u"x"sv, "%F:2: the key holds a control character (U+0001 at 3)"},
        };
        for (const Row &row : rows)
            QTest::newRow(row.where) << QString::fromLatin1(row.where) << QStringView(row.value).toString()
                                     << QString::fromLatin1(row.expected);
    }
    void controlCharacters()
    {
        QFETCH(QString, where);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QStringList arguments;
        if (where != QLatin1String("--port"))
            arguments << QStringLiteral("--port=p");
        if (where.startsWith(QLatin1String("--"))) {
            arguments << where << value;
        } else {
            writeFile(conf, QStringLiteral("[%1]\n%2 = %3\n")
                                .arg(where.section(u'/', 0, 0), where.section(u'/', 1), value)
                                .toUtf8());
            arguments << QStringLiteral("--config") << conf;
        }
        const QString actual = summary(parseStationOptions(arguments, {}));
        QVERIFY2(actual.startsWith(QStringLiteral("error: ") + expand(expected)), qPrintable(actual));
        QVERIFY(!actual.contains(u'\n'));
    }

    // The password as systemd hands it over (LoadCredential=): a file in
    // $CREDENTIALS_DIRECTORY, here root's with an ACL for the reader, so its
    // mode shows 0440, as systemd 252 makes it on a file system with ACLs.
    void credentials_data()
    {
        QTest::addColumn<bool>("handedOver"); // CREDENTIALS_DIRECTORY set
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        struct Row {
            const char *name;
            bool handedOver;
            const char *file, *arguments, *expected;
        };
        const Row rows[] = {
            // clang-format off
            {"by name", true, "", "--mqtt-password-credential mqtt-pw", ":0 tls=0 user= pw=secret prefix"},
            {"by name, in the file", true, "[mqtt]\npassword-credential = mqtt-pw\n", "", ":0 tls=0 user= pw=secret"},
            {"by its path", false, "[mqtt]\npassword-file = %D/creds/mqtt-pw\n", "", ":0 tls=0 user= pw=secret"},
            {"an ACL for another user", false, "", "--mqtt-password-file %D/other-user",
             "error: --mqtt-password-file: \"%D/other-user\" is open to others than its owner (mode 0440)"},
            {"an ACL for a group", false, "", "--mqtt-password-file %D/group",
             "error: --mqtt-password-file: \"%D/group\" is open to others than its owner (mode 0440)"},
            {"nothing handed over", false, "", "--mqtt-password-credential mqtt-pw",
             "error: --mqtt-password-credential: no credentials from systemd (CREDENTIALS_DIRECTORY is not set): "
             "the service's unit loads it with LoadCredential=mqtt-pw"},
            {"not this one", true, "[mqtt]\npassword-credential = other\n", "",
             "error: %F:2: password-credential: systemd handed over no credential \"other\" (\"%D/creds/other\" is"},
            {"both", true, "[mqtt]\npassword-file = %D/creds/mqtt-pw\n", "--mqtt-password-credential mqtt-pw",
             "error: --mqtt-password-credential: give it or password-file (%F:2: password-file), not both"},
            {"a path", true, "", "--mqtt-password-credential ../mqtt-pw",
             "error: --mqtt-password-credential: \"../mqtt-pw\" is not a credential's name"},
            // clang-format on
        };
        for (const Row &row : rows)
            QTest::newRow(row.name) << row.handedOver << QByteArray(row.file) << QString::fromLatin1(row.arguments)
                                    << QString::fromLatin1(row.expected);
    }
    void credentials()
    {
        QFETCH(bool, handedOver);
        QFETCH(QByteArray, file);
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("creds")));
        const quint32 reader = ::geteuid();
        struct Made {
            const char *name;
            QList<AclEntry> acl;
        };
        const Made made[] = {
            {"creds/mqtt-pw",
             {{AclEntry::Owner, 4},
              {AclEntry::User, 4, reader},
              {AclEntry::OwningGroup, 0},
              {AclEntry::Mask, 4},
              {AclEntry::Other, 0}}},
            {"other-user",
             {{AclEntry::Owner, 4},
              {AclEntry::User, 4, reader + 1},
              {AclEntry::OwningGroup, 0},
              {AclEntry::Mask, 4},
              {AclEntry::Other, 0}}},
            {"group",
             {{AclEntry::Owner, 4},
              {AclEntry::OwningGroup, 0},
              {AclEntry::Group, 4, 100},
              {AclEntry::Mask, 4},
              {AclEntry::Other, 0}}},
        };
        for (const Made &one : made) {
            const QString path = tmp.filePath(QLatin1String(one.name));
            writeFile(path, "secret\n");
            QVERIFY(setAccessAcl(path, one.acl));
            QCOMPARE(QFileInfo(path).permissions() & QFileDevice::ReadGroup, QFileDevice::ReadGroup);
        }
        QStringList list = QStringList{QStringLiteral("--port=p")} + expand(arguments).split(u' ', Qt::SkipEmptyParts);
        if (!file.isEmpty()) {
            writeFile(conf, expand(QString::fromLatin1(file)).toLatin1());
            list << QStringLiteral("--config") << conf;
        }
        QProcessEnvironment environment;
        if (handedOver)
            environment.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), tmp.filePath(QStringLiteral("creds")));
        const QString actual = mqttSummary(parseStationOptions(list, environment));
        QVERIFY2(actual.startsWith(expand(expected)), qPrintable(actual));
    }

    void stationNameFromHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("station");
        QTest::newRow("plain") << "Pump-house_2"
                               << "Pump-house_2";
        QTest::newRow("domain") << "pc.example.org"
                                << "pc_example_org";
        QTest::newRow("not ASCII") << QStringLiteral("sk\u00e5p") << "sk_p";
        QTest::newRow("none") << ""
                              << "halvern";
    }
    void stationNameFromHost()
    {
        QFETCH(QString, host);
        QTEST(::stationNameFromHost(host), "station");
    }

    // systemd's folder first, then XDG_CONFIG_HOME if absolute, then ~/.config;
    // a default file that is not there is no error.
    void defaultFile_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("read");
        QTest::newRow("systemd") << "CONFIGURATION_DIRECTORY=%D/etc XDG_CONFIG_HOME=%D/xdg HOME=%D/home"
                                 << "%D/etc/station.conf";
        QTest::newRow("systemd, two") << "CONFIGURATION_DIRECTORY=%D/etc:%D/xdg"
                                      << "%D/etc/station.conf";
        QTest::newRow("XDG") << "XDG_CONFIG_HOME=%D/xdg HOME=%D/home"
                             << "%D/xdg/halvern/station.conf";
        QTest::newRow("XDG relative") << "XDG_CONFIG_HOME=xdg HOME=%D/home"
                                      << "%D/home/.config/halvern/station.conf";
        QTest::newRow("home") << "HOME=%D/home"
                              << "%D/home/.config/halvern/station.conf";
        QTest::newRow("no file there") << "CONFIGURATION_DIRECTORY=%D HOME=%D/home"
                                       << "";
        QTest::newRow("nothing named") << ""
                                       << "";
    }
    void defaultFile()
    {
        QFETCH(QString, environment);
        QFETCH(QString, read);
        QProcessEnvironment env; // empty, unlike the process's own
        for (const QString &pair : expand(environment).split(u' ', Qt::SkipEmptyParts))
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        for (const char *file : {"etc/station.conf", "xdg/halvern/station.conf", "home/.config/halvern/station.conf"}) {
            const QString path = tmp.filePath(QLatin1String(file));
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            writeFile(path, "[station]\nport = " + path.toUtf8() + "\n");
        }
        QFile::remove(conf);

        const auto parsed = parseStationOptions({QStringLiteral("--baud=4800")}, env);
        const QString expected = read.isEmpty() ? QStringLiteral("error: no port") : expand(read) + u' ';
        QVERIFY2(summary(parsed).startsWith(expected), qPrintable(summary(parsed)));
        if (!read.isEmpty())
            QCOMPARE(std::get<StationOptions>(parsed).configFile, expand(read));
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
        const QString actual = summary(parseStationOptions({"--port=p", "--log-folder", folder}, {}));
        if (root && ::seteuid(0) != 0)
            qFatal("cannot become root again");
        QCOMPARE(actual, QStringLiteral("error: --log-folder: \"%1\" is not writable (Permission denied)").arg(folder));
    }

    // Neither reads a file nor checks a folder, so both work where the
    // configuration is broken.
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
        QVERIFY(summary(parseStationOptions({}, env)).contains(QLatin1String("unknown section")));

        const auto parsed = parseStationOptions(arguments, env);
        QCOMPARE(summary(parsed),
                 QStringLiteral(" 9600,n,8,1 log=0  base=halvernlog filter=0 json=false commands=false"));
        QCOMPARE(std::get<StationOptions>(parsed).help, help);
        QCOMPARE(std::get<StationOptions>(parsed).version, !help);
    }

    // help2man builds the manual page from --help: the usage line first, then
    // each option on a line of its own, indented.
    void usageSuitsHelp2man()
    {
        const QStringList lines = stationUsage().split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("Usage: halvern-station [OPTION]..."));
        for (const char *option : {"--port DEVICE ", "--baud RATE ", "--log-folder DIR ", "--log MODE ",
                                   "--base-name NAME ", "--filter N ", "--json ", "--accept-commands ", "--mqtt URL ",
                                   "--mqtt-prefix P ", "--station NAME ", "--config FILE ", "--help ", "--version "}) {
            const QString start = QStringLiteral("  ") + QLatin1String(option);
            QVERIFY2(lines.filter(start).size() == 1 && lines.filter(start).first().startsWith(start), option);
        }
        QVERIFY(stationUsage().contains(QStringLiteral("Exit status: 0 clean exit, 1 failure, 2 bad configuration.")));
        // help2man takes the page's header from the first line of --version.
        const QStringList version = stationVersion().split(u'\n');
        QCOMPARE(version.first(), QStringLiteral("halvern-station " HALVERN_VERSION));
        QVERIFY(version.contains(QStringLiteral(
            "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.")));
    }
};

QTEST_GUILESS_MAIN(TestStationOptions)
#include "tst_stationoptions.moc"
