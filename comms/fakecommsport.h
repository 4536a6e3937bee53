// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A serial port for tests and benchmarks: incoming bytes are queued by the
// test, writes are recorded, chosen port numbers fail to open.
#include "comms/commsport.h"

#include <QList>
#include <QMap>
#include <QSet>

class FakeCommsPort final : public CommsPort {
    Q_OBJECT
public:
    using CommsPort::CommsPort;

    void setCommPort(int number) override { m_commPort = number; }
    int commPort() const override { return m_commPort; }
    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    QString errorString() const override { return m_errorString; }
    bool portOpen() const override { return m_open; }
    bool setPortOpen(bool open) override;
    int inBufferCount() override;
    void clearInBuffer() override;
    QByteArray input() override;
    bool output(const QByteArray &bytes) override;
    QString deviceName(int number) const override;
    QString openedDevice() const override { return m_opened; }
    bool openDevice(const QString &device) override;

    // Test side.
    QSet<int> failingPorts;                // these numbers fail to open
    QString failureReason;                 // errorString() after a failed open or a vanish
    QMap<int, QString> devices;            // the device behind a number, if not "/dev/fakeN"
    QList<QByteArray> writes;              // every output, one entry per write
    QList<QString> opens;                  // "N@settings" for every successful open
    void receive(const QByteArray &bytes); // bytes arrive from the receiver
    // The open device disappears while the console waits in its event loop:
    // what the loss set going there runs before this returns.
    void vanish();
    int waitingBeyondBuffer() const { return int(m_backlog.size()); }

    // The device disappears inside the next call of this kind, which sees it
    // as a failed read or write and emits lost from within, as a real port can.
    enum class Call { None, InBufferCount, Output };
    Call vanishDuring = Call::None;
    // Calls made on the port from inside another of its calls: a procedure
    // run by a signal the port emitted mid-call.
    int nestedCalls = 0;
    // Every input() so far, and what the last one returned.
    int inputs = 0;
    QByteArray lastInput;

private:
    void refill();
    void vanishNow();
    bool vanishesIn(Call call);

    int m_depth = 0; // calls of the port now running

    int m_commPort = 1;
    QString m_settings = kDefaultSettings;
    QString m_errorString;
    bool m_open = false;
    QString m_opened;     // the device opened last
    QByteArray m_buffer;  // what the port holds, at most kReceiveBufferBytes
    QByteArray m_backlog; // what waits in the driver beyond that
};
