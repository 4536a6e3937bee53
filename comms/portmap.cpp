#include "comms/portmap.h"

#include <QCollator>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace {
bool isAdapter(const QString &device)
{
    const QString name = QFileInfo(device).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}
} // namespace

QStringList orderedSerialDevices(QStringList devices)
{
    QCollator natural;
    natural.setNumericMode(true);
    std::stable_sort(devices.begin(), devices.end(), [&](const QString &a, const QString &b) {
        if (isAdapter(a) != isAdapter(b))
            return isAdapter(a);
        return natural.compare(a, b) < 0;
    });
    return devices;
}

QString PortMap::device(int number, const QStringList &systemDevices) const
{
    if (number < kFirstPort || number > kLastPort)
        return {};
    if (m_overrides.contains(number))
        return m_overrides.value(number);
#ifdef Q_OS_WIN
    Q_UNUSED(systemDevices);
    return QStringLiteral("COM%1").arg(number);
#else
    const QStringList ordered = orderedSerialDevices(systemDevices);
    return number <= ordered.size() ? ordered.at(number - 1) : QString();
#endif
}

QString PortMap::device(int number) const
{
    QStringList devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        devices.append(info.systemLocation());
    return device(number, devices);
}
