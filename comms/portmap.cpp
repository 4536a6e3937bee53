// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "comms/portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace {
bool isAdapter(const QString &device)
{
    const QString name = QFileInfo(device).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

// "ttyUSB2" before "ttyUSB10": runs of digits compare by their value.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i, startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QString runA = a.mid(startA, i - startA).remove(QRegularExpression(QStringLiteral("^0+(?=.)")));
            const QString runB = b.mid(startB, j - startB).remove(QRegularExpression(QStringLiteral("^0+(?=.)")));
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (runA != runB)
                return runA < runB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
} // namespace

QStringList orderedSerialDevices(QStringList devices)
{
    std::stable_sort(devices.begin(), devices.end(), [&](const QString &a, const QString &b) {
        if (isAdapter(a) != isAdapter(b))
            return isAdapter(a);
        return naturalLess(a, b);
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

QStringList systemSerialDevices()
{
    QStringList devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        devices.append(info.systemLocation());
    return devices;
}

QString PortMap::device(int number) const
{
    // Listing the system's serial devices takes milliseconds (a udev scan):
    // a named device needs no list.
    if (m_overrides.contains(number))
        return m_overrides.value(number);
    return device(number, m_lister ? m_lister() : QStringList());
}

QString PortMap::stableName(const QString &device) const
{
    return stableDeviceName(device, m_stableFolder);
}

QString stableDeviceName(const QString &device, const QString &folder)
{
    const QFileInfo given(device);
    if (device.isEmpty() || given.isSymLink())
        return device;
    const QString target = given.canonicalFilePath();
    if (target.isEmpty())
        return device; // not there now: nothing points to it
    const QFileInfoList links =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links)
        if (link.isSymLink() && link.canonicalFilePath() == target)
            return link.absoluteFilePath();
    return device;
}
