// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "benchbroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>

#include <unistd.h>

namespace {
quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}
} // namespace

BenchBroker::BenchBroker() : m_port(freePort())
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

BenchBroker::~BenchBroker()
{
    m_process.terminate();
    m_process.waitForFinished(5000);
}

bool BenchBroker::start()
{
    const QString config = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Started as root, mosquitto would become the mosquitto user.
    const QByteArray user = geteuid() == 0 ? "user root\n" : "";
    file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nlog_dest stderr\nlog_type error\n"
                              "log_type warning\nlog_type notice\nlog_type information\n")
                   .arg(m_port)
                   .toUtf8()
               + user);
    file.close();
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config});
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(100) && m_process.state() == QProcess::NotRunning)
            return false;
        m_log += m_process.readAll();
        if (m_log.contains("running"))
            return true;
    }
    return false;
}

QByteArray BenchBroker::log()
{
    m_log += m_process.readAll();
    return m_log;
}
