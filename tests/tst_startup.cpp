// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The start of the real programs, run as they are run: what would hang a
// start (a FIFO named as a file) or flood the journal ends it at once with one
// line and exit status 2, and the station run as a user of its own, as the
// packaged service is, gets its broker password as systemd hands it over.
#include "support/mosquittobroker.h"
#include "support/posixacl.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kStartLimitMs = 10000; // far beyond a start, well short of a hang

// The programs' environment: no display, no config file but the test's own.
QProcessEnvironment quietEnvironment(const QString &folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "CONFIGURATION_DIRECTORY", "CREDENTIALS_DIRECTORY"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/no-config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

bool writeFile(const QString &path, const QByteArray &bytes, mode_t mode)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush()
           && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    // "%D" stands for the test's folder, which holds the FIFO "fifo",
    // etc/station.conf and xdg/halvern/console.conf as FIFOs too.
    void refusedAtOnce_data()
    {
        QTest::addColumn<QString>("program"); // the environment variable naming it
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment"); // NAME=VALUE, or empty
        QTest::addColumn<QString>("line");        // standard error, whole
        const QString station = QStringLiteral("HALVERN_STATION");
        const QString console = QStringLiteral("HALVERN_CONSOLE");
        QTest::newRow("station, --config") << station << QStringList{"--port=p", "--config", "%D/fifo"} << ""
                                           << "halvern-station: %D/fifo: not a regular file, not a config file";
        QTest::newRow("station, default file")
            << station << QStringList{"--port=p"} << "CONFIGURATION_DIRECTORY=%D/etc"
            << "halvern-station: %D/etc/station.conf: not a regular file, not a config file";
        QTest::newRow("station, --mqtt-ca") << station << QStringList{"--port=p", "--mqtt-ca=%D/fifo"} << ""
                                            << "halvern-station: --mqtt-ca: \"%D/fifo\" is not a regular file";
        QTest::newRow("station, a station name of 70 000")
            << station << QStringList{"--port=p", "--station", QString(70000, u's')} << ""
            << "halvern-station: --station: 70000 characters, more than the 64 a station name may have";
        QTest::newRow("station, a prefix of 70 000")
            << station << QStringList{"--port=p", "--mqtt-prefix", QString(70000, u'p')} << ""
            << "halvern-station: --mqtt-prefix: 70000 characters, more than the 128 a prefix may have";
        QTest::newRow("console, --config") << console << QStringList{"--config=%D/fifo"} << ""
                                           << "halvern-console: %D/fifo: not a regular file, not a config file "
                                              "(--help lists the options)";
        QTest::newRow("console, default file") << console << QStringList{} << "XDG_CONFIG_HOME=%D/xdg"
                                               << "halvern-console: %D/xdg/halvern/console.conf: not a regular "
                                                  "file, not a config file (--help lists the options)";
        QTest::newRow("console, --mqtt-ca") << console << QStringList{"--mqtt-ca", "%D/fifo"} << ""
                                            << "halvern-console: --mqtt-ca: \"%D/fifo\" is not a regular file "
                                               "(--help lists the options)";
    }
    void refusedAtOnce()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(QString, line);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("etc"))
                && QDir(dir.path()).mkpath(QStringLiteral("xdg/halvern")));
        for (const char *fifo : {"fifo", "etc/station.conf", "xdg/halvern/console.conf"})
            QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QLatin1String(fifo))).constData(), 0644) == 0);

        QProcessEnvironment env = quietEnvironment(dir.path());
        if (!environment.isEmpty())
            env.insert(environment.section(u'=', 0, 0),
                       environment.section(u'=', 1).replace(QLatin1String("%D"), dir.path()));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable(qPrintable(program)),
                      arguments.replaceInStrings(QStringLiteral("%D"), dir.path()));
        QVERIFY(process.waitForStarted());
        const bool ended = process.waitForFinished(kStartLimitMs);
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        QVERIFY2(ended, "it did not end by itself");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 line.replace(QLatin1String("%D"), dir.path()) + u'\n');
    }

    // The packaged unit runs the station as a user of its own (DynamicUser=),
    // who cannot read a password file of root's; systemd copies the file it
    // loads (LoadCredential=) into $CREDENTIALS_DIRECTORY, which it lays out
    // in one of two ways: root's folder (0500) and file (0400) with ACL
    // entries for the service's user, or, where the file system has no ACLs,
    // the folder and file given to that user. The station here runs as nobody
    // with such a folder, against a broker that wants the password.
    void passwordAsSystemdHandsItOver_data()
    {
        QTest::addColumn<bool>("acl");              // root's, with ACLs; otherwise nobody's own
        QTest::addColumn<QStringList>("arguments"); // "%C" is the credentials folder, "%D" the test's
        QTest::addColumn<QString>("line");          // on standard error
        const QStringList byName{"--mqtt-password-credential", "halvern-mqtt-password"};
        QTest::newRow("ACLs, by name") << true << byName << "MQTT: connected to";
        QTest::newRow("its own, by name") << false << byName << "MQTT: connected to";
        QTest::newRow("ACLs, by its path")
            << true << QStringList{"--mqtt-password-file", "%C/halvern-mqtt-password"} << "MQTT: connected to";
        QTest::newRow("root's own file")
            << true << QStringList{"--mqtt-password-file", "%D/root-password"}
            << "halvern-station: --mqtt-password-file: \"%D/root-password\": cannot read it (Permission denied); a "
               "service with a user of its own gets it as a credential (password-credential)";
    }
    void passwordAsSystemdHandsItOver()
    {
        QFETCH(bool, acl);
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        if (::geteuid() != 0)
            QSKIP("runs the station as another user, which takes root");
        Broker broker(QStringLiteral("allow_anonymous false\npassword_file DIR/passwords\n"));
        QCOMPARE(
            QProcess::execute(QStringLiteral("mosquitto_passwd"),
                              {QStringLiteral("-b"), QStringLiteral("-c"), broker.path(QStringLiteral("passwords")),
                               QStringLiteral("pumphouse"), QStringLiteral("s3cret pass")}),
            0);
        QVERIFY(broker.start());

        QTemporaryDir dir;
        QVERIFY(dir.isValid() && ::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString credentials = dir.filePath(QStringLiteral("credentials"));
        const QString credential = credentials + QStringLiteral("/halvern-mqtt-password");
        QVERIFY(QDir().mkdir(credentials));
        // As an editor leaves a one-line file, or without its line feed as here.
        QVERIFY(writeFile(credential, "s3cret pass", 0400));
        QVERIFY(::chmod(QFile::encodeName(credentials).constData(), 0500) == 0);
        if (acl) {
            QVERIFY(setCredentialAcl(credential, kNobody));
            QVERIFY(setCredentialAcl(credentials, kNobody, true));
        } else {
            QVERIFY(::chown(QFile::encodeName(credential).constData(), kNobody, kNobody) == 0);
            QVERIFY(::chown(QFile::encodeName(credentials).constData(), kNobody, kNobody) == 0);
        }
        QVERIFY(writeFile(dir.filePath(QStringLiteral("root-password")), "s3cret pass\n", 0600));

        QProcessEnvironment env = quietEnvironment(dir.path());
        env.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), credentials);
        env.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
        QProcess station;
        station.setProcessEnvironment(env);
        QByteArray errors;
        connect(&station, &QProcess::readyReadStandardError, this, [&] { errors += station.readAllStandardError(); });
        arguments.replaceInStrings(QStringLiteral("%C"), credentials)
            .replaceInStrings(QStringLiteral("%D"), dir.path());
        station.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                  qEnvironmentVariable("HALVERN_STATION"), "--port",
                                  dir.filePath(QStringLiteral("no-receiver")), "--mqtt", broker.url(), "--mqtt-user",
                                  "pumphouse", "--station", "pumphouse"}
                          + arguments);
        line.replace(QLatin1String("%D"), dir.path());
        if (line.startsWith(QLatin1String("halvern-station: "))) { // refused: it ends by itself
            QVERIFY(station.waitForFinished(kStartLimitMs));
            QCOMPARE(station.exitCode(), 2);
            QCOMPARE(QString::fromUtf8(errors + station.readAllStandardError()), line + u'\n');
            return;
        }
        const bool said = QTest::qWaitFor([&] { return errors.contains(line.toUtf8()); }, kStartLimitMs);
        station.terminate();
        QVERIFY(station.state() == QProcess::NotRunning || station.waitForFinished(kStartLimitMs));
        QVERIFY2(said, errors.constData());
        QVERIFY2(!errors.contains("not authorised"), errors.constData());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
