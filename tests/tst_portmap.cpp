// Which device each port number stands for.
#include "comms/portmap.h"

#include <QtTest>

class TestPortMap : public QObject {
    Q_OBJECT
private slots:
    void adaptersComeFirstInNaturalOrder()
    {
        const QStringList devices{"/dev/ttyS10", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyACM0", "/dev/ttyUSB2"};
        QCOMPARE(orderedSerialDevices(devices),
                 (QStringList{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyS10"}));
    }

    void overridesTakeTheirNumbersPlace()
    {
        const PortMap map({{1, "/dev/pts/7"}});
        const QStringList devices{"/dev/ttyUSB0", "/dev/ttyUSB1"};
        QCOMPARE(map.device(1, devices), QStringLiteral("/dev/pts/7"));
        QCOMPARE(map.device(2, devices), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(map.device(3, devices), QString());
        QCOMPARE(map.device(11, devices), QString());
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"
