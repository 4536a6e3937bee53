// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Which device stands behind port numbers kFirstPort to kLastPort (1 to 10). On Windows port N is
// "COMN". Elsewhere the ports are the machine's serial devices: USB and ACM
// adapters first, then the others, each group in natural name order. A
// device given on the command line (--port N=DEVICE) takes its number's place.
//
// Numbers follow the devices listed at each moment, so after an unplug the
// same number may stand for another adapter. A device that was open is
// therefore known by its stable name: the link in /dev/serial/by-id that
// points to it, which comes back with the adapter whatever ttyUSBn it gets.
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// The serial devices Qt lists now (full paths).
QStringList systemSerialDevices();

inline const QString kStableDeviceFolder = QStringLiteral("/dev/serial/by-id");

class PortMap {
public:
    using DeviceLister = std::function<QStringList()>;

    // Devices named on the command line, by port number; where stable names
    // live; what lists the machine's serial devices.
    explicit PortMap(QMap<int, QString> overrides = {}, QString stableFolder = kStableDeviceFolder,
                     DeviceLister lister = systemSerialDevices)
        : m_overrides(std::move(overrides)), m_stableFolder(std::move(stableFolder)), m_lister(std::move(lister))
    {}

    // The device of port `number` among `systemDevices` (full paths such as
    // "/dev/ttyUSB0"), "" when there is none.
    QString device(int number, const QStringList &systemDevices) const;

    // The device of port `number` among the serial devices listed now.
    QString device(int number) const;

    // `device` by its stable name (see stableDeviceName).
    QString stableName(const QString &device) const;

private:
    QMap<int, QString> m_overrides;
    QString m_stableFolder;
    DeviceLister m_lister;
};

// The link in `folder` that points to `device`, or `device` itself when none
// does or when `device` is a link already (a name somebody chose to keep).
QString stableDeviceName(const QString &device, const QString &folder);

// The order in which serial devices take the numbers 1, 2, 3, ...
QStringList orderedSerialDevices(QStringList devices);

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 10;
