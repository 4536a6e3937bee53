// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A console on a remote station, through a real Mosquitto: a real station on
// a pseudo-terminal and a local console on another, fed the same traffic,
// show the same rows and write the same log files as the remote console,
// across a broker restart too; the station going and coming back is a lost
// port and its return; frames that arrive together are read apart; commands
// reach the station's topic byte for byte, and its word on them is shown;
// --remote-list lists the stations.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"
#include "support/ptypair.h"
#include "support/stationtestkit.h"

#include "app/receivetick.h"
#include "app/remoteconsole.h"
#include "comms/qtcommsport.h"
#include "config/commandframe.h"
#include "mqtt/mqttclient.h"
#include "mqtt/mqttoptions.h"
#include "reception/frame.h"
#include "remote/remoteport.h"
#include "station/servicenotifier.h"
#include "station/station.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

namespace {

const QString kAnonymous = QStringLiteral("allow_anonymous true");

MqttOptions brokerOptions(const Broker &broker)
{
    MqttOptions mqtt;
    setBrokerUrl(mqtt, broker.url());
    mqtt.station = QStringLiteral("S");
    return mqtt;
}

// Every box of the table, row by row.
QStringList rows(Mainscreen &form)
{
    QStringList texts;
    for (int row = 0; row < kDisplayRows; ++row)
        texts << QStringList{form.txttx[row]->text(), form.txsignal[row]->text(), form.txtlog[row]->text(),
                             form.txtcount[row]->text(), form.txtzero[row]->text()}
                     .join(u'|');
    return texts;
}

// The remote console as the program builds it: the form on a RemotePort,
// bound by RemoteConsole, started as the console starts.
struct RemoteForm {
    RemotePort port;
    Mainscreen form;
    RemoteConsole binder;
    int handled = 0;
    QList<QByteArray> frames; // every message handled, as framed

    RemoteForm(const Broker &broker, const Clock &clock)
        : port(brokerOptions(broker), QStringLiteral("S")), form(port, clock), binder(form, port)
    {
        QObject::connect(&form.feed(), &MessageFeed::handled, &form, [this](const HandledMessage &message) {
            ++handled;
            frames << message.bytes;
        });
        form.Form_Load();
        port.start();
    }
    QString lostLine(const QString &reason) const
    {
        return QStringLiteral("Port 1 (S on %1) lost: %2: waiting for it to come back").arg(port.brokerUrl(), reason);
    }
    // "Message Received" tells the loss for one of these reasons.
    bool lostTold(const QStringList &reasons) const
    {
        return std::any_of(reasons.cbegin(), reasons.cend(),
                           [this](const QString &reason) { return form.txtinstring->text() == lostLine(reason); });
    }
};

// A client of the test's own, standing in for a station or a listener.
struct TestClient {
    MqttClient client;
    QList<QPair<QByteArray, QByteArray>> received;

    TestClient(const Broker &broker, const QString &id)
        : client(mqttSettings(brokerOptions(broker), QStringLiteral("test-") + id))
    {
        QObject::connect(&client, &MqttClient::messageReceived, &client,
                         [this](const QByteArray &topic, const QByteArray &payload) {
                             received.append({topic, payload});
                         });
        client.start();
    }
    QList<QByteArray> payloadsOn(const QByteArray &topic) const
    {
        QList<QByteArray> payloads;
        for (const auto &[t, payload] : received) {
            if (t == topic)
                payloads << payload;
        }
        return payloads;
    }
};

} // namespace

class TestRemote : public QObject {
    Q_OBJECT
private slots:
    // The station's rows and files, shown and written by a console far away:
    // the same as a console beside the receiver writes, under each logging
    // option, and with the broker restarting while frames are on their way.
    void sameTrafficSameRowsAndLogs_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("restartAt"); // the message before which the broker restarts; -1: never
        QTest::newRow("every message") << QStringLiteral("optall") << -1;
        QTest::newRow("transmitters separately") << QStringLiteral("opttxonly") << -1;
        QTest::newRow("display every 15 minutes") << QStringLiteral("opt15min") << -1;
        QTest::newRow("every message, broker restarts") << QStringLiteral("optall") << 4;
        QTest::newRow("transmitters separately, broker restarts") << QStringLiteral("opttxonly") << 7;
    }
    void sameTrafficSameRowsAndLogs()
    {
        QFETCH(QString, option);
        QFETCH(int, restartAt);
        // Persistence keeps the remote console's session through the restart.
        Broker broker(QStringLiteral("allow_anonymous true\npersistence true\npersistence_location DIR/\n"));
        QVERIFY(broker.start());
        QTemporaryDir localFolder, remoteFolder, stationFolder;
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        PtyPair localLine, stationLine;

        QtCommsPort localPort{PortMap({{1, localLine.devicePath()}})};
        Mainscreen local(localPort, clock);
        local.Form_Load();
        local.optcom[1]->click();

        StationOptions options;
        options.port = stationLine.devicePath();
        options.logFolder = stationFolder.path();
        options.mqtt = brokerOptions(broker);
        QuietNotifier notifier;
        QTemporaryFile json;
        QVERIFY(json.open());
        QtCommsPort stationPort{PortMap({{1, stationLine.devicePath()}})};
        Station station(options, stationPort, clock, notifier, json.handle());
        station.start();

        RemoteForm remote(broker, clock);
        QTRY_VERIFY_WITH_TIMEOUT(remote.port.portOpen(), 15000);
        QCOMPARE(remote.form.txtinstring->text(), QString()); // chosen as a click: no lost port first
        QVERIFY(remote.form.optcom[1]->isChecked() && remote.form.optcom[1]->isVisible());
        for (const auto &[form, folder] : {std::pair{&local, &localFolder}, std::pair{&remote.form, &remoteFolder}}) {
            form->txtfilepath->setText(folder->path() + u'/');
            form->findChild<OptionButton *>(option)->click();
            form->chklogen->click();
            form->tmrpctime->stop(); // the clock ticks by hand, below
        }
        station.form().tmrpctime->stop();
        QVERIFY(remote.form.lblremote->isVisible());
        QTRY_COMPARE(remote.form.lblremote->text(), // the state may come a little after the status
                     QStringLiteral("Station S on %1: online, port open (%2), broker connected")
                         .arg(broker.url(), stationLine.devicePath()));

        int localHandled = 0, stationHandled = 0;
        connect(&local.feed(), &MessageFeed::handled, this, [&] { ++localHandled; });
        connect(&station.form().feed(), &MessageFeed::handled, this, [&] { ++stationHandled; });
        const QList<QByteArray> messages = traffic();
        bool brokerDown = false;
        for (qsizetype i = 0; i < messages.size(); ++i) {
            if (i == restartAt) {
                broker.stop();
                brokerDown = true;
                // Stopping, the broker may first hand out the station's will.
                QTRY_VERIFY_WITH_TIMEOUT(remote.lostTold({u"broker unreachable"_qs, u"station offline"_qs}), 10000);
            } else if (brokerDown && i == restartAt + 3) {
                // Three messages framed while the broker was away: they wait at the station.
                QVERIFY(broker.start());
                brokerDown = false;
            }
            const int before = localHandled;
            QVERIFY(localLine.write(messages[i]));
            QVERIFY(stationLine.write(messages[i]));
            QTRY_VERIFY(localHandled > before && stationHandled == localHandled);
            if (brokerDown)
                continue; // the remote console's lines must carry the same clock: it stands still
            QTRY_COMPARE_WITH_TIMEOUT(remote.handled, localHandled, 20000);
            clock.advanceSeconds(250); // past a quarter hour now and then
            local.tmrpctime_Timer();
            remote.form.tmrpctime_Timer();
        }
        local.cmdlogscreen_Click();
        remote.form.cmdlogscreen_Click();

        QCOMPARE(remote.handled, messages.size() + 1); // the back-to-back pair is two
        QCOMPARE(rows(remote.form), rows(local));
        QCOMPARE(remote.form.txtinstring->text(), local.txtinstring->text());
        const QStringList files = filesIn(localFolder.path());
        QVERIFY(!files.isEmpty());
        QCOMPARE(filesIn(remoteFolder.path()), files);
        for (const QString &file : files) {
            const QByteArray written = fileContents(localFolder.filePath(file));
            QVERIFY(written.count('\n') > 1);
            QCOMPARE(fileContents(remoteFolder.filePath(file)), written);
        }
        station.finish();
    }

    // The station going away is a lost port, with the reason, and its return
    // is "is back", through the form's own reopen.
    void stationGoneAndBack_data()
    {
        QTest::addColumn<bool>("brokerStops");    // else the station program ends and starts again
        QTest::addColumn<QStringList>("reasons"); // one of them; a stopping broker may hand out the will first
        QTest::addColumn<QString>("standing");
        QTest::newRow("station ends") << false << QStringList{"station offline"}
                                      << QStringLiteral("offline, broker connected");
        QTest::newRow("broker stops") << true << QStringList{"broker unreachable", "station offline"}
                                      << QStringLiteral("not heard from, broker unreachable");
    }
    void stationGoneAndBack()
    {
        QFETCH(bool, brokerStops);
        QFETCH(QStringList, reasons);
        QFETCH(QString, standing);
        Broker broker(kAnonymous);
        QVERIFY(broker.start());
        PtyPair line;
        QTemporaryDir logs;
        QProcess station;
        const auto startStation = [&] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), logs.filePath(QStringLiteral("no-config")));
            environment.insert(QStringLiteral("XDG_STATE_HOME"), logs.filePath(QStringLiteral("state")));
            station.setProcessEnvironment(environment);
            station.start(qEnvironmentVariable("HALVERN_STATION"),
                          {QStringLiteral("--port"), line.devicePath(), QStringLiteral("--mqtt"), broker.url(),
                           QStringLiteral("--station"), QStringLiteral("S")});
            return station.waitForStarted();
        };
        QVERIFY(startStation());
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        RemoteForm remote(broker, clock);
        QTRY_VERIFY_WITH_TIMEOUT(remote.port.portOpen(), 15000);

        if (brokerStops) {
            broker.stop();
        } else {
            station.terminate();
            QVERIFY(station.waitForFinished());
        }
        QTRY_VERIFY_WITH_TIMEOUT(remote.lostTold(reasons), 10000);
        QVERIFY(!remote.port.portOpen());
        QTRY_VERIFY2(remote.form.lblremote->text().endsWith(standing), qPrintable(remote.form.lblremote->text()));
        QVERIFY(!remote.port.output("AT=")); // nothing goes to a station that is not there

        if (brokerStops)
            QVERIFY(broker.start());
        else
            QVERIFY(startStation());
        QTRY_COMPARE_WITH_TIMEOUT(remote.form.txtinstring->text(),
                                  QStringLiteral("Port 1 (S on %1) is back").arg(broker.url()), 20000);
        QVERIFY(remote.port.portOpen());
        // And it receives again.
        const QByteArray reading = telemetryFrame(kPulseCode, 7, 0x90, 0, 1, 0, 10);
        QVERIFY(line.write(reading));
        QTRY_VERIFY_WITH_TIMEOUT(remote.frames.contains(reading), 10000);
        station.terminate();
        QVERIFY(station.waitForFinished());
    }

    // Frames that reach the console in one tick are read one by one, each
    // the message it was at the station: a pair split there stays apart, one
    // frame holding two whole frames is split as a local console splits it.
    void framesArrivingTogetherAreReadApart_data()
    {
        QTest::addColumn<QList<QByteArray>>("published");
        QTest::addColumn<QList<QByteArray>>("handled");
        const QByteArray temperature = telemetryFrame(kTemperatureCode, 74565, 0x03, 0x00, 0x2B, 0x00, 7);
        const QByteArray pulse = telemetryFrame(kPulseCode, 7, 0x90, 0, 1, 0, 10);
        const QByteArray contact = telemetryFrame(kContactCode, 4096, 0x11, 0, 0, 5, 9);
        const QByteArray scanning = QByteArrayLiteral("S\x07");
        QTest::newRow("three readings") << QList{temperature, pulse, contact} << QList{temperature, pulse, contact};
        QTest::newRow("reading, scanning, reading")
            << QList{temperature, scanning, pulse} << QList{temperature, scanning, pulse};
        QTest::newRow("the same frame twice") << QList{pulse, pulse} << QList{pulse, pulse};
        QTest::newRow("two frames in one") << QList{pulse + contact, scanning} << QList{pulse, contact, scanning};
        QTest::newRow("a bad CRC beside a reading") << QList{hexBytes("82 01 23 45 03 00 2B 00 70 00 00"), temperature}
                                                    << QList{hexBytes("82 01 23 45 03 00 2B 00 70 00 00"), temperature};
    }
    void framesArrivingTogetherAreReadApart()
    {
        QFETCH(QList<QByteArray>, published);
        QFETCH(QList<QByteArray>, handled);
        Broker broker(kAnonymous);
        QVERIFY(broker.start());
        TestClient fakeStation(broker, QStringLiteral("station"));
        fakeStation.client.publish("halvern/S/status", kStatusOnline, 1, true);
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        RemoteForm remote(broker, clock);
        QTRY_VERIFY_WITH_TIMEOUT(remote.port.portOpen(), 10000);
        remote.form.receiveTick().stop(); // the ticks are driven below

        for (const QByteArray &frame : published)
            fakeStation.client.publish("halvern/S/frames", frame, 1, false);
        QTRY_COMPARE(remote.port.framesWaiting(), published.size());
        for (int tick = 0; tick < 4 * handled.size() && remote.handled < handled.size(); ++tick)
            remote.form.tmrcomms_Timer();
        QCOMPARE(remote.frames, handled);
        QCOMPARE(remote.port.framesWaiting(), 0);
    }

    // Frames the console cannot read fast enough are held up to the bound,
    // the oldest dropped beyond it, counted, said once and shown.
    void framesBeyondTheBoundAreDroppedAndCounted()
    {
        Broker broker(kAnonymous);
        QVERIFY(broker.start());
        TestClient fakeStation(broker, QStringLiteral("station"));
        fakeStation.client.publish("halvern/S/status", kStatusOnline, 1, true);
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        RemoteForm remote(broker, clock);
        QSignalSpy said(&remote.port, &RemotePort::diagnostic);
        QTRY_VERIFY_WITH_TIMEOUT(remote.port.portOpen(), 10000);
        remote.form.receiveTick().stop();
        said.clear();

        constexpr int kExtra = 3;
        for (int tx = 1; tx <= RemotePort::kFrameLimit + kExtra; ++tx)
            fakeStation.client.publish("halvern/S/frames", telemetryFrame(kPulseCode, tx, 0x90, 0, 1, 0, 10), 1, false);
        QTRY_COMPARE_WITH_TIMEOUT(remote.port.framesDropped(), kExtra, 20000);
        QCOMPARE(remote.port.framesWaiting(), RemotePort::kFrameLimit);
        QCOMPARE(said.size(), 1);
        QVERIFY(remote.form.lblremote->text().endsWith(QStringLiteral(", 3 frames dropped")));
        QCOMPARE(remote.port.input(), telemetryFrame(kPulseCode, kExtra + 1, 0x90, 0, 1, 0, 10)); // the oldest went
    }

    // A command built by the form's buttons reaches P/S/commands exactly as a
    // local receiver would get it; with the port closed it is not sent, and
    // the form says so.
    void commandsReachTheStationByteExact_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("boxes"); // txtmode, or txtadd1..
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("notSent");
        QTest::newRow("Set Mode") << QStringLiteral("cmdprogmode") << QStringList{"2"} << hexBytes("41 54 3D 02 C4 99")
                                  << QStringLiteral("Set Mode not sent: no port is open");
        QTest::newRow("Set 3ch Add") << QStringLiteral("cmdprogadd") << QStringList{"1", "65536", "16777215"}
                                     << std::get<QByteArray>(
                                            addressFrame(u"Set 3ch Add"_qs, {"1", "65536", "16777215"}))
                                     << QStringLiteral("Set 3ch Add not sent: no port is open");
        const QStringList eight{"1", "2", "3", "4", "5", "6", "7", "8"};
        QTest::newRow("Set 8ch Add") << QStringLiteral("cmdprog8chadd") << eight
                                     << std::get<QByteArray>(addressFrame(u"Set 8ch Add"_qs, eight))
                                     << QStringLiteral("Set 8ch Add not sent: no port is open");
    }
    void commandsReachTheStationByteExact()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, frame);
        QFETCH(QString, notSent);
        Broker broker(kAnonymous);
        QVERIFY(broker.start());
        TestClient listener(broker, QStringLiteral("listener"));
        listener.client.subscribe("halvern/S/commands");
        QTRY_VERIFY(listener.client.isConnected());
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        RemoteForm remote(broker, clock);
        Mainscreen &w = remote.form;
        if (button == u"cmdprogmode")
            w.txtmode->setText(boxes[0]);
        for (int i = 0; button != u"cmdprogmode" && i < boxes.size(); ++i)
            w.txtadd[i + 1]->setText(boxes[i]);
        CommandButton *command = w.findChild<CommandButton *>(button);
        QVERIFY(command);

        QTRY_VERIFY(remote.port.brokerConnected()); // connected, but no station heard: closed
        command->click();
        QCOMPARE(w.txtinstring->text(), notSent);

        TestClient fakeStation(broker, QStringLiteral("station"));
        fakeStation.client.publish("halvern/S/status", kStatusOnline, 1, true);
        QTRY_VERIFY_WITH_TIMEOUT(remote.port.portOpen(), 10000);
        command->click();
        QTRY_COMPARE(listener.payloadsOn("halvern/S/commands").size(), 1);
        QCOMPARE(listener.payloadsOn("halvern/S/commands").first(), frame); // and the refused one never went
    }

    // The station's word on a command, from its events, in "Message Received".
    void commandOutcomeShown_data()
    {
        QTest::addColumn<QByteArray>("event");
        QTest::addColumn<QString>("shown");
        const QByteArray head = R"({"time":"2026-12-08T09:05:07.000+00:00","kind":"event","event":)";
        QTest::newRow("mode sent") << head + R"("command_sent","tx":null,"type":null,"detail":"41543d02c499"})"
                                   << QStringLiteral("Set Mode sent by station S: 41 54 3D 02 C4 99");
        QTest::newRow("addresses sent, spaced upper case")
            << head + R"("command_sent","tx":null,"type":null,"detail":"41 50 00 00 01 00 00 02 00 00 03 5D 4C"})"
            << QStringLiteral("Set 3ch Add sent by station S: 41 50 00 00 01 00 00 02 00 00 03 5D 4C");
        QTest::newRow("refused") << head + R"("command_refused","tx":null,"type":null,"detail":"bad CRC"})"
                                 << QStringLiteral("Command refused by station S: bad CRC");
    }
    void commandOutcomeShown()
    {
        QFETCH(QByteArray, event);
        QFETCH(QString, shown);
        Broker broker(kAnonymous);
        QVERIFY(broker.start());
        TestClient fakeStation(broker, QStringLiteral("station"));
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        RemoteForm remote(broker, clock);
        QTRY_VERIFY(remote.port.brokerConnected());
        // Another event first: it leaves "Message Received" alone.
        fakeStation.client.publish("halvern/S/events",
                                   R"({"time":"2026-12-08T09:05:07.000+00:00","kind":"event","event":"battery_low",)"
                                   R"("tx":7,"type":"pulse","detail":"battery low"})",
                                   1, false);
        fakeStation.client.publish("halvern/S/events", event, 1, false);
        QSignalSpy outcomes(&remote.port, &RemotePort::commandOutcome);
        QTRY_COMPARE(outcomes.size(), 1);
        QCOMPARE(remote.form.txtinstring->text(), shown);
    }

    // Consoles watching a station publish nothing on the broker, neither
    // while they watch nor when they end: the programs themselves, twice.
    void watchingChangesNothing()
    {
        Broker broker(kAnonymous);
        QVERIFY(broker.start());
        TestClient fakeStation(broker, QStringLiteral("station"));
        fakeStation.client.publish("halvern/S/status", kStatusOnline, 1, true);
        QTRY_COMPARE(fakeStation.client.waiting(), 0);
        Subscriber everything(broker.port(), QStringLiteral("#"));
        QTRY_COMPARE(everything.lines(), QStringList{"halvern/S/status 1 1 online"});

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath() + QStringLiteral("/no-console-config"));
        std::array<QProcess, 2> consoles;
        for (QProcess &console : consoles) {
            console.setProcessEnvironment(environment);
            console.start(qEnvironmentVariable("HALVERN_CONSOLE"),
                          {QStringLiteral("--remote"), QStringLiteral("S"), QStringLiteral("--mqtt"), broker.url(),
                           QStringLiteral("-platform"), QStringLiteral("offscreen")});
        }
        // Both connected and subscribed to the frames.
        // Mosquitto logs each subscription as "\tTOPIC (QoS 1)".
        QTRY_COMPARE_WITH_TIMEOUT(broker.logCount("halvern/S/frames (QoS"), 2, 15000);
        fakeStation.client.publish("halvern/test/mark", "1", 1, false);
        QTRY_COMPARE(everything.lines().size(), 2);
        for (QProcess &console : consoles) {
            console.terminate();
            QVERIFY(console.waitForFinished(10000));
            QCOMPARE(console.exitCode(), 0);
        }
        fakeStation.client.publish("halvern/test/mark", "2", 1, false);
        QTRY_COMPARE(everything.lines().size(), 3);
        QCOMPARE(everything.lines(),
                 (QStringList{"halvern/S/status 1 1 online", "halvern/test/mark 0 1 1", "halvern/test/mark 0 1 2"}));
    }

    // The retained status and state of every station, one sorted line each;
    // a broker that cannot be reached is said, with exit status 1.
    void remoteList_data()
    {
        QTest::addColumn<bool>("brokerRuns");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // standard output, or what standard error holds
        QTest::newRow("two stations") << true << 0
                                      << QStringLiteral("a-site     offline\n"
                                                        "pumphouse  online, port open (/dev/ttyUSB0)\n");
        QTest::newRow("no broker") << false << 1 << QStringLiteral("refused: nothing listening there");
    }
    void remoteList()
    {
        QFETCH(bool, brokerRuns);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        Broker broker(kAnonymous);
        std::unique_ptr<TestClient> stations;
        if (brokerRuns) {
            QVERIFY(broker.start());
            stations = std::make_unique<TestClient>(broker, QStringLiteral("stations"));
            stations->client.publish("halvern/pumphouse/status", kStatusOnline, 1, true);
            stations->client.publish("halvern/pumphouse/state",
                                     R"({"port":"open","device":"/dev/ttyUSB0","messages_per_minute":4})", 1, true);
            stations->client.publish("halvern/a-site/status", kStatusOffline, 1, true);
            stations->client.publish("other/b-site/status", kStatusOnline, 1, true); // another prefix
            stations->client.publish("halvern/pumphouse/tx/7", "{}", 1, true);
            QTRY_COMPARE(stations->client.waiting(), 0);
        }
        QProcess console;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath() + QStringLiteral("/no-console-config"));
        console.setProcessEnvironment(environment);
        console.start(qEnvironmentVariable("HALVERN_CONSOLE"),
                      {QStringLiteral("--remote-list"), QStringLiteral("--mqtt"), broker.url()});
        QVERIFY(console.waitForFinished(15000));
        QCOMPARE(console.exitCode(), exitCode);
        if (exitCode == 0) {
            QCOMPARE(QString::fromUtf8(console.readAllStandardOutput()), output);
        } else {
            const QString error = QString::fromUtf8(console.readAllStandardError());
            QVERIFY2(error.startsWith(u"halvern-console: ") && error.contains(output), qPrintable(error));
            QVERIFY(console.readAllStandardOutput().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestRemote)
#include "tst_remote.moc"
