// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A Mosquitto broker of a test's own on a free loopback port, and
// mosquitto_sub reading it back: nothing is mocked at the MQTT level.
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

inline quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// A mosquitto of our own, logging to its standard error so a test can wait
// for what it did.
class Broker {
public:
    explicit Broker(const QString &extraConfig = {}) : m_port(freePort())
    {
        m_config = m_dir.filePath(QStringLiteral("mosquitto.conf"));
        QFile file(m_config);
        file.open(QIODevice::WriteOnly);
        // Started as root, mosquitto would become the mosquitto user and not
        // read its files in our private folder.
        const QString user = geteuid() == 0 ? QStringLiteral("user root\n") : QString();
        file.write(QStringLiteral("listener %1 127.0.0.1\nlog_dest stderr\nlog_type all\n%2%3\n")
                       .arg(m_port)
                       .arg(user)
                       .arg(QString(extraConfig).replace(QLatin1String("DIR"), m_dir.path()))
                       .toUtf8());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, [this] { m_log += m_process.readAll(); });
    }
    ~Broker() { stop(); }

    bool start()
    {
        m_log.clear();
        m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), m_config});
        return waitForLog("running");
    }
    void stop()
    {
        m_process.terminate(); // saves its persistence file, if any
        m_process.waitForFinished(5000);
    }
    bool waitForLog(const char *text)
    {
        return QTest::qWaitFor([&] { return m_log.contains(text); }, 10000);
    }
    // What it logged since it last started.
    const QByteArray &log() const { return m_log; }
    // How often `text` is in the log so far.
    qsizetype logCount(const char *text) const { return m_log.count(text); }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port); }
    quint16 port() const { return m_port; }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    quint16 m_port;
    QString m_config;
    QProcess m_process;
    QByteArray m_log;
};

// mosquitto_sub printing "topic retained qos payload" a line.
class Subscriber {
public:
    Subscriber(quint16 port, const QString &topic, const QStringList &extra = {})
    {
        // Line by line through a pipe, so a test sees each message as it comes.
        m_process.start(QStringLiteral("stdbuf"),
                        QStringList{QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"), QStringLiteral("-h"),
                                    QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                                    QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-t"), topic,
                                    QStringLiteral("-F"), QStringLiteral("%t %r %q %p")}
                            + extra);
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QStringList lines()
    {
        m_text += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_text;
};
