// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Desktop notifications through a real session bus this test starts, with
// its own notification service on it; and with no bus at all.
#include "events/desktopnotifier.h"

#include <QDBusConnection>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Answers Notify as a desktop's notification service does, and keeps each call.
class RecordingNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QVariantList> calls;

public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int expire)
    {
        calls.append({app, replaces, icon, summary, body, actions, hints, expire});
        return uint(calls.size());
    }
};

class TestDesktopNotifier : public QObject {
    Q_OBJECT

    QProcess m_daemon;
    QString m_address;
    RecordingNotifications m_service;
    const QString m_serviceName = QStringLiteral("org.freedesktop.Notifications");

    QDBusConnection serviceConnection() { return QDBusConnection::connectToBus(m_address, QStringLiteral("service")); }

private slots:
    void initTestCase()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QVERIFY2(m_daemon.waitForReadyRead(10000), "dbus-daemon gave no address");
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        // The notifier's own default: the session bus of the environment.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        QDBusConnection service = serviceConnection();
        QVERIFY(service.isConnected());
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(m_serviceName));
    }
    void cleanupTestCase()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    void init() { m_service.calls.clear(); }

    void notifiesOnTheSessionBus_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("tx");
        QTest::addColumn<QString>("summary");
        QTest::newRow("transmitter") << QByteArray("battery_low") << QStringLiteral("temperature")
                                     << QStringLiteral("74565") << QStringLiteral("Battery low: Temperature 74565");
        QTest::newRow("two-word type") << QByteArray("channel_changed") << QStringLiteral("gully_pot")
                                       << QStringLiteral("12") << QStringLiteral("Channel changed: Gully pot 12");
        QTest::newRow("no transmitter") << QByteArray("receiver_silent") << QString() << QString()
                                        << QStringLiteral("Receiver silent");
    }
    void notifiesOnTheSessionBus()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, type);
        QFETCH(QString, tx);
        QFETCH(QString, summary);
        DesktopNotifier notifier;
        QVERIFY(notifier.available());
        notifier.show({name, tx, type, QStringLiteral("channel 1 closed <b>&</b>"), {}, {}, {}});
        QTRY_COMPARE(m_service.calls.size(), 1);
        const QVariantList call = m_service.calls.at(0);
        QCOMPARE(call.at(0).toString(), QStringLiteral("Halvern console"));
        QCOMPARE(call.at(1).toUInt(), 0u);
        QCOMPARE(call.at(2).toString(), QStringLiteral("halvern-console"));
        QCOMPARE(call.at(3).toString(), summary);
        QCOMPARE(call.at(4).toString(), QStringLiteral("channel 1 closed <b>&</b>"));
        QVERIFY(call.at(5).toStringList().isEmpty());
        QCOMPARE(call.at(7).toInt(), -1);
        QVERIFY(notifier.available());
    }

    void noServiceEndsNotifications()
    {
        QVERIFY(serviceConnection().unregisterService(m_serviceName));
        DesktopNotifier notifier(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
        notifier.show({"tamper", QStringLiteral("1"), QStringLiteral("pulse"), {}, {}, {}, {}});
        QTRY_VERIFY(!notifier.available());
        // Checked once: a service that turns up later is not called.
        QVERIFY(serviceConnection().registerService(m_serviceName));
        notifier.show({"tamper", QStringLiteral("1"), QStringLiteral("pulse"), {}, {}, {}, {}});
        QVERIFY(!notifier.available());
        QCOMPARE(m_service.calls.size(), 0);
    }

    void noBusQuietly()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QTemporaryDir dir;
        DesktopNotifier notifier(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus")), QStringLiteral("nowhere")));
        QVERIFY(!notifier.available());
        notifier.show({"port_lost", {}, {}, QStringLiteral("/dev/ttyUSB0"), {}, {}, {}});
        QVERIFY(!notifier.available());
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
