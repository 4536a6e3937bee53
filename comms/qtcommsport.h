// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The serial port on a real device, through QSerialPort.
#include "comms/commsport.h"
#include "comms/portmap.h"

#include <QSerialPort>

class QtCommsPort final : public CommsPort {
    Q_OBJECT
public:
    explicit QtCommsPort(PortMap map, QObject *parent = nullptr);
    ~QtCommsPort() override;

    void setCommPort(int number) override { m_commPort = number; }
    int commPort() const override { return m_commPort; }
    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    QString errorString() const override { return m_errorString; }
    bool portOpen() const override { return m_port.isOpen(); }
    bool setPortOpen(bool open) override;
    int inBufferCount() override;
    void clearInBuffer() override;
    QByteArray input() override;
    bool output(const QByteArray &bytes) override;
    QString deviceName(int number) const override;
    QString openedDevice() const override { return m_device; }
    bool openDevice(const QString &device) override;

private:
    qint64 waitingInDevice() const;
    void onError(QSerialPort::SerialPortError error);

    PortMap m_map;
    QSerialPort m_port;
    QByteArray m_leftBehind; // received before the device vanished, not yet read
    bool m_arrived = false;  // the port has read bytes since its buffer was last emptied
    QString m_device;        // the device last opened, by its stable name
    int m_commPort = 1;
    QString m_settings = kDefaultSettings;
    QString m_errorString; // why the last open failed or the device went
};

// The baud rate of line settings such as "19200,n,8,1" (9600 if unreadable).
int baudRateOf(const QString &settings);
