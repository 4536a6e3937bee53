// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/outlet.h"

#include "comms/commsport.h"
#include "logging/logwriter.h"

Outlet::Outlet(MessageFeed &feed, CommsPort &port, const LogWriter &log, QObject *parent)
    : QObject(parent), m_feed(feed), m_port(port), m_log(log)
{
    connect(&port, &CommsPort::lost, this, &Outlet::portLost);
    // Connected first, so the ordered listeners run before any direct connection.
    connect(this, &Outlet::secondTicked, this, &Outlet::runSecond);
}

bool Outlet::portOpen() const
{
    return m_port.portOpen();
}

QString Outlet::portDevice() const
{
    return m_port.openedDevice();
}

QString Outlet::portError() const
{
    return m_port.errorString();
}

bool Outlet::writeToReceiver(const QByteArray &frame)
{
    return m_port.output(frame);
}

int Outlet::logLinesWaiting() const
{
    return m_log.pending();
}

qint64 Outlet::logLinesDropped() const
{
    return m_log.dropped();
}

void Outlet::everySecond(Second step, QObject *owner, std::function<void()> listener)
{
    Q_ASSERT(owner && listener);
    m_second[std::size_t(step)].push_back({owner, std::move(listener)});
}

// By index, each listener copied before it runs: one may register another
// (appended, run this second too) without moving the one that runs.
void Outlet::runSecond()
{
    for (std::vector<Listener> &step : m_second) {
        for (std::size_t i = 0; i < step.size(); ++i) {
            if (!step[i].owner)
                continue;
            const std::function<void()> run = step[i].run;
            run();
        }
        std::erase_if(step, [](const Listener &listener) { return listener.owner.isNull(); });
    }
}
