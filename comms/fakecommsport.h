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
    QSet<int> failingPorts;           // these numbers fail to open
    QMap<int, QString> devices;       // the device behind a number, if not "/dev/fakeN"
    QList<QByteArray> writes;         // every output, one entry per write
    QList<QString> opens;             // "N@settings" for every successful open
    void receive(const QByteArray &bytes);   // bytes arrive from the receiver
    void vanish();                    // the open device disappears
    int waitingBeyondBuffer() const { return int(m_backlog.size()); }

private:
    void refill();

    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
    bool m_open = false;
    QString m_opened;                 // the device opened last
    QByteArray m_buffer;              // what the port holds, at most kReceiveBufferBytes
    QByteArray m_backlog;             // what waits in the driver beyond that
};
