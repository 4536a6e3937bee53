#pragma once
// Which device stands behind port numbers 1 to 10. On Windows port N is
// "COMN". Elsewhere the ports are the machine's serial devices: USB and ACM
// adapters first, then the others, each group in natural name order. A
// device given on the command line (--port N=DEVICE) takes its number's place.
#include <QMap>
#include <QString>
#include <QStringList>

class PortMap {
public:
    // Devices named on the command line, by port number.
    explicit PortMap(QMap<int, QString> overrides = {}) : m_overrides(std::move(overrides)) {}

    // The device of port `number` among `systemDevices` (full paths such as
    // "/dev/ttyUSB0"), "" when there is none.
    QString device(int number, const QStringList &systemDevices) const;

    // The device of port `number` among the serial devices Qt lists now.
    QString device(int number) const;

    const QMap<int, QString> &overrides() const { return m_overrides; }

private:
    QMap<int, QString> m_overrides;
};

// The order in which serial devices take the numbers 1, 2, 3, ...
QStringList orderedSerialDevices(QStringList devices);

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 10;
