// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "comms/fakecommsport.h"

#include "comms/portmap.h"

#include <QCoreApplication>

namespace {
// Counts a call of the port for as long as it runs.
class InCall {
public:
    InCall(int &depth, int &nested) : m_depth(depth) { nested += m_depth++ > 0 ? 1 : 0; }
    ~InCall() { --m_depth; }
    InCall(const InCall &) = delete;
    InCall &operator=(const InCall &) = delete;

private:
    int &m_depth;
};
} // namespace

bool FakeCommsPort::setPortOpen(bool open)
{
    m_buffer.clear();
    m_backlog.clear();
    if (!open) {
        m_open = false;
        return true;
    }
    return openDevice(deviceName(m_commPort));
}

// Opens `device` if some number stands for it now.
bool FakeCommsPort::openDevice(const QString &device)
{
    bool present = false;
    for (int number = kFirstPort; number <= kLastPort; ++number)
        present = present || (!device.isEmpty() && deviceName(number) == device);
    if (m_open)
        return false;
    if (!present) {
        m_errorString = failureReason;
        return false;
    }
    m_errorString.clear();
    m_buffer.clear();
    m_backlog.clear();
    m_open = true;
    m_opened = device;
    opens.append(QStringLiteral("%1@%2").arg(m_commPort).arg(m_settings));
    return true;
}

int FakeCommsPort::inBufferCount()
{
    const InCall call(m_depth, nestedCalls);
    vanishesIn(Call::InBufferCount);
    return int(m_buffer.size()); // empty while closed, but for what a vanished device left
}

void FakeCommsPort::clearInBuffer()
{
    m_buffer.clear();
    m_backlog.clear();
}

QByteArray FakeCommsPort::input()
{
    const InCall call(m_depth, nestedCalls);
    QByteArray bytes;
    bytes.swap(m_buffer);
    refill();
    ++inputs;
    lastInput = bytes;
    return bytes;
}

bool FakeCommsPort::output(const QByteArray &bytes)
{
    const InCall call(m_depth, nestedCalls);
    if (vanishesIn(Call::Output) || !m_open)
        return false;
    writes.append(bytes);
    return true;
}

QString FakeCommsPort::deviceName(int number) const
{
    if (failingPorts.contains(number))
        return {};
    return devices.value(number, QStringLiteral("/dev/fake%1").arg(number));
}

void FakeCommsPort::receive(const QByteArray &bytes)
{
    if (!m_open)
        return; // nothing listens on a closed port
    m_backlog.append(bytes);
    refill();
    if (!bytes.isEmpty())
        emit arrived();
}

void FakeCommsPort::vanish()
{
    vanishNow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

void FakeCommsPort::vanishNow()
{
    if (!m_open)
        return;
    m_open = false;
    m_errorString = failureReason;
    m_backlog.clear(); // still in the driver: gone with the device
    emit lost(m_opened);
}

bool FakeCommsPort::vanishesIn(Call call)
{
    if (vanishDuring != call || !m_open)
        return false;
    vanishDuring = Call::None;
    vanishNow();
    return true;
}

void FakeCommsPort::refill()
{
    const qsizetype room = kReceiveBufferBytes - m_buffer.size();
    m_buffer.append(m_backlog.left(room));
    m_backlog.remove(0, qMin(room, m_backlog.size()));
}
