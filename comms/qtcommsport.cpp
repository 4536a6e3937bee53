// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "comms/qtcommsport.h"

#include "app/logcategories.h"

#include <QFile>
#include <utility>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif
#if defined(Q_OS_LINUX)
#include <linux/serial.h>

namespace {
// USB adapters hold received bytes up to their latency timer (16 ms on common
// chips), longer than one poll tick: a frame would come in two pieces with a
// quiet tick between. Ask the driver to pass bytes on at once. A device
// without serial settings (a pseudo-terminal) refuses and is used as it is.
void askForLowLatency(int handle)
{
    serial_struct serial{};
    if (::ioctl(handle, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(handle, TIOCSSERIAL, &serial);
}
} // namespace
#endif

namespace {
// QSerialPort reports a device another program holds (its lock file, or the
// device's exclusive mode) as a PermissionError, just as a device the user
// may not open: tell them apart by asking whether the user may open it.
QString openFailure(const QString &device, QSerialPort::SerialPortError error, const QString &text)
{
#if defined(Q_OS_UNIX)
    const QByteArray path = QFile::encodeName(device);
    if (error == QSerialPort::PermissionError && ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) == 0)
        return QStringLiteral("In use by another program (%1)").arg(text);
#else
    Q_UNUSED(device);
    Q_UNUSED(error);
#endif
    return text;
}

// Why the open device went. QSerialPort's own text cannot tell: a hung-up
// line reads 0 bytes, no failed call, and the port then quotes whatever
// errno an earlier, unrelated call left behind (a JSON reader gone, a full
// disk), and even chooses its error's kind by it. So the device is asked
// here, each answer taken right at the call that gives it.
QString lossReason(const QSerialPort &port, QSerialPort::SerialPortError error)
{
    const QString kind = error == QSerialPort::WriteError  ? QStringLiteral("Write failed")
                         : error == QSerialPort::ReadError ? QStringLiteral("Read failed")
                                                           : QStringLiteral("Device stopped answering");
#if defined(Q_OS_UNIX)
    const int handle = port.handle();
    pollfd line{handle, POLLIN, 0};
    if (::poll(&line, 1, 0) == 1 && (line.revents & POLLHUP))
        return (error == QSerialPort::WriteError ? kind : QStringLiteral("Read failed"))
               + QStringLiteral(" (the device hung up)");
    termios settings{};
    if (::tcgetattr(handle, &settings) != 0) {
        const int code = errno;
        return QStringLiteral("%1 (%2)").arg(kind, qt_error_string(code));
    }
    return kind; // the device still answers: no cause to quote
#else
    Q_UNUSED(port);
    return kind;
#endif
}
} // namespace

QtCommsPort::QtCommsPort(PortMap map, QObject *parent) : CommsPort(parent), m_map(std::move(map))
{
    m_port.setReadBufferSize(kReceiveBufferBytes);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtCommsPort::onError);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_arrived = true;
        emit arrived();
    });
}

QtCommsPort::~QtCommsPort()
{
    m_port.close();
}

int baudRateOf(const QString &settings)
{
    bool ok = false;
    const int baud = settings.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
    return ok && baud > 0 ? baud : QSerialPort::Baud9600; // the rate of kDefaultSettings
}

bool QtCommsPort::setPortOpen(bool open)
{
    m_leftBehind.clear();
    m_arrived = false;
    if (!open) {
        m_port.close();
        return true;
    }
    return openDevice(m_map.device(m_commPort));
}

QString QtCommsPort::deviceName(int number) const
{
    // While open, the number stands for the device opened, even if the
    // machine's list has moved on since.
    if (m_port.isOpen() && number == m_commPort)
        return m_device;
    return m_map.stableName(m_map.device(number));
}

bool QtCommsPort::openDevice(const QString &device)
{
    if (m_port.isOpen())
        return false;
    if (device.isEmpty()) {
        m_errorString = QStringLiteral("No such device");
        return false;
    }
    m_leftBehind.clear();
    m_arrived = false;
    // Named now, while the device is there to be found behind its links.
    m_device = m_map.stableName(device);
    m_port.setPortName(device);
    m_port.setBaudRate(baudRateOf(m_settings));
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorString = openFailure(device, m_port.error(), m_port.errorString());
        qCDebug(lcComms).noquote() << QStringLiteral("cannot open %1: %2").arg(device, m_errorString);
        return false;
    }
    m_errorString.clear();
    qCDebug(lcComms).noquote() << QStringLiteral("opened %1 (%2) at %3").arg(device, m_device, m_settings);
#if defined(Q_OS_LINUX)
    askForLowLatency(m_port.handle());
#endif
    return true;
}

int QtCommsPort::inBufferCount()
{
    // Asked every tick, mostly of a quiet line: until the port announces
    // bytes, there is nothing to look at.
    if (!m_arrived || !m_port.isOpen())
        return int(m_leftBehind.size());
    // The port reads the device when the event loop gets to it, which may be
    // after this tick. Once a message has begun, bytes the device already
    // holds count too, or the poll would take a message whose end is waiting
    // there as finished.
    if (waitingInDevice() > 0)
        m_port.waitForReadyRead(0);
    return int(m_port.bytesAvailable());
}

// Bytes the device has received that the port has not read yet.
qint64 QtCommsPort::waitingInDevice() const
{
#if defined(Q_OS_UNIX)
    int waiting = 0;
    return ::ioctl(m_port.handle(), FIONREAD, &waiting) == 0 ? waiting : 0;
#elif defined(Q_OS_WIN)
    COMSTAT status{};
    DWORD errors = 0;
    return ::ClearCommError(m_port.handle(), &errors, &status) ? qint64(status.cbInQue) : 0;
#else
    return 0;
#endif
}

// Flushes the device too: only for a caller that wants nothing of what waits.
void QtCommsPort::clearInBuffer()
{
    m_leftBehind.clear();
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Input);
    m_arrived = false;
}

QByteArray QtCommsPort::input()
{
    m_arrived = false; // what follows empties the port's buffer
    return m_port.isOpen() ? m_port.readAll() : std::exchange(m_leftBehind, QByteArray());
}

bool QtCommsPort::output(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    return m_port.write(bytes) == bytes.size();
}

void QtCommsPort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return; // the port clearing its last error
    // A vanished device reports ReadError (pseudo-terminal) or ResourceError
    // (USB adapter), over and over while the port stays open: close at once.
    const bool deviceGone =
        error == QSerialPort::ReadError || error == QSerialPort::WriteError || error == QSerialPort::ResourceError;
    if (!deviceGone || !m_port.isOpen()) {
        // A failed open answers for itself (openDevice); the loss below was
        // reported already; UnsupportedOperationError is normal on
        // pseudo-terminals (no modem lines). Anything else is unexpected
        // but does not stop the port.
        const QString text =
            QStringLiteral("%1: error %2 ignored: %3").arg(m_port.portName()).arg(int(error)).arg(m_port.errorString());
        if (!m_port.isOpen() || deviceGone || error == QSerialPort::UnsupportedOperationError)
            qCDebug(lcComms).noquote() << text;
        else
            qCWarning(lcComms).noquote() << text;
        return;
    }
    m_errorString = lossReason(m_port, error);
    qCDebug(lcComms).noquote() << QStringLiteral("lost %1: %2").arg(m_device, m_errorString);
    // What arrived before is whole and may be the end of a frame: keep it
    // for the poll. Taken from the port's buffer alone, not the dead device.
    m_leftBehind = m_port.read(m_port.bytesAvailable());
    m_arrived = false;
    m_port.close();
    emit lost(m_device);
}
