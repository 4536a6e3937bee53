// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The serial port component `commsport`: exactly the operations the console
// uses, so the port can be real (QSerialPort) or a fake in tests.
#include <QByteArray>
#include <QObject>
#include <QString>

class CommsPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // CommPort: the port number (kFirstPort..kLastPort) the next open uses; set only while closed.
    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;

    // Settings: line settings such as "9600,n,8,1"; set only while closed,
    // applied from the next open.
    virtual void setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;

    // Why the port last failed to open, or why it closed by itself (the
    // device vanished): "Permission denied", ... Empty after a good open.
    virtual QString errorString() const = 0;

    // PortOpen. Opening fails (returns false) when the port is absent or in
    // use; closing always succeeds.
    virtual bool portOpen() const = 0;
    virtual bool setPortOpen(bool open) = 0;

    // InBufferCount: bytes waiting, 0 while closed.
    // Bytes that arrived before the device vanished still wait after the
    // close, until read or discarded: the device sent them whole.
    virtual int inBufferCount() = 0;

    // Setting InBufferCount to 0: discards every waiting byte, those still
    // in the device included. The poll does not use it after a message:
    // input() took the message, and whatever arrived since is the start of
    // the next one.
    virtual void clearInBuffer() = 0;

    // Input: every waiting byte, in arrival order, removed from the buffer.
    // Bytes that arrive after the call wait for the next one.
    virtual QByteArray input() = 0;

    // Output: sends the bytes as they are. Returns false, sending nothing,
    // when no port is open.
    virtual bool output(const QByteArray &bytes) = 0;

    // The device behind a port number, for tooltips and messages ("" if none),
    // by its stable name where it has one.
    virtual QString deviceName(int number) const = 0;

    // The device the port opened last, by its stable name: what a reopen
    // (new rate, lost device) must open again, whatever number maps to it now.
    virtual QString openedDevice() const { return deviceName(commPort()); }

    // PortOpen True on exactly `device` (as openedDevice() names it) with the
    // current Settings; CommPort stays as it is. Fails like setPortOpen(true).
    virtual bool openDevice(const QString &device) { return device == deviceName(commPort()) && setPortOpen(true); }

signals:
    // The open device vanished (adapter unplugged, other end gone). The port
    // is already closed when this is emitted. It may be emitted from inside
    // inBufferCount(), input() or output() (a failed read or write): a
    // receiver that runs procedures connects queued, so they never nest.
    void lost(const QString &device);
    // Bytes arrived while the port is open: what the sleeping receive tick
    // wakes on. Emitted once for every piece the port takes in, possibly from
    // inside inBufferCount().
    void arrived();
};

// The line settings of the three rate buttons, and the one a port starts with.
inline const QString kSettings4800 = QStringLiteral("4800,n,8,1");
inline const QString kSettings9600 = QStringLiteral("9600,n,8,1");
inline const QString kSettings19200 = QStringLiteral("19200,n,8,1");
inline const QString kDefaultSettings = kSettings9600;

// The receive buffer's size: a flooding receiver waits in the driver beyond it.
inline constexpr int kReceiveBufferBytes = 1024;
