// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A Mosquitto of the benchmark's own on a free loopback port, anonymous
// clients let in, logging to its standard error so we can wait for it.
#include "mqtt/brokeraddress.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class BenchBroker {
public:
    BenchBroker();
    ~BenchBroker();
    BenchBroker(const BenchBroker &) = delete;
    BenchBroker &operator=(const BenchBroker &) = delete;

    // Starts it and waits up to 10 s until it listens; false if it did not.
    bool start();
    quint16 port() const { return m_port; }
    QString url() const { return brokerUrl({QStringLiteral("127.0.0.1"), m_port, false}); }
    // What it logged so far (for a message when something failed).
    QByteArray log();

private:
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QProcess m_process;
    QByteArray m_log;
};
