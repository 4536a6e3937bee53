// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The port and rate buttons on the real QSerialPort and real pseudo-terminals:
// the line runs at the rate the window shows, and a lost adapter is waited
// for by its own stable name, never by a port number the machine has since
// given to another adapter.
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "comms/qtcommsport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The speed the terminal runs at, read from a descriptor of its own.
speed_t lineSpeed(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    const bool read = fd >= 0 && ::tcgetattr(fd, &settings) == 0;
    if (fd >= 0)
        ::close(fd);
    return read ? ::cfgetospeed(&settings) : B0;
}

// A console on QtCommsPort whose machine lists `listed` as its serial
// devices and keeps its stable names in `byId`.
struct LiveConsole {
    QStringList listed;
    QtCommsPort port;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    std::unique_ptr<Mainscreen> window;

    LiveConsole(QStringList devices, QMap<int, QString> named, const QString &byId)
        : listed(std::move(devices)), port(PortMap(std::move(named), byId, [this] { return listed; }))
    {
        window = std::make_unique<Mainscreen>(port, clock);
        window->Form_Load();
        window->tmrcomms->stop();
        window->tmrpctime->stop();
    }
    Mainscreen &w() { return *window; }
};

// Takes away the user's right to open `device` for as long as it lives:
// mode 000, and, since permissions do not stop root, acting as nobody.
struct NoPermission {
    static constexpr uid_t kNobody = 65534;
    const QByteArray path;
    const bool root = ::geteuid() == 0;
    struct stat before {};
    bool taken = false;
    explicit NoPermission(const QString &device) : path(QFile::encodeName(device))
    {
        taken = ::stat(path.constData(), &before) == 0 && ::chmod(path.constData(), 0) == 0
                && (!root || ::seteuid(kNobody) == 0);
    }
    ~NoPermission()
    {
        if (root && ::seteuid(0) != 0)
            qFatal("cannot become root again");
        ::chmod(path.constData(), before.st_mode & 07777);
    }
};

// A call with nothing to do with the port that fails with `code` each time:
// a send to a peer gone (EPIPE), a write to /dev/full (ENOSPC), a read of an
// empty non-blocking pipe (EAGAIN).
class UnrelatedFailure {
public:
    explicit UnrelatedFailure(int code) : m_code(code)
    {
        if (code == EPIPE) {
            ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds);
            ::close(m_fds[1]);
            m_fds[1] = -1;
        } else if (code == ENOSPC) {
            m_fds[0] = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        } else {
            ::pipe2(m_fds, O_NONBLOCK | O_CLOEXEC);
        }
    }
    ~UnrelatedFailure()
    {
        for (const int fd : m_fds)
            if (fd >= 0)
                ::close(fd);
    }
    // errno as the failed call left it.
    int fail()
    {
        char byte = 'x';
        errno = 0;
        if (m_code == EPIPE)
            ::send(m_fds[0], &byte, 1, MSG_NOSIGNAL);
        else if (m_code == ENOSPC)
            (void)!::write(m_fds[0], &byte, 1);
        else
            (void)!::read(m_fds[0], &byte, 1);
        return errno;
    }

private:
    int m_code;
    int m_fds[2] = {-1, -1};
};

} // namespace

class TestPortChoicePty : public QObject {
    Q_OBJECT
private slots:
    void portOpensAtTheSelectedRate_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("speed");
        QTest::newRow("4800") << "4800" << int(B4800);
        QTest::newRow("9600") << "9600" << int(B9600);
        QTest::newRow("19200") << "19200" << int(B19200);
    }
    void portOpensAtTheSelectedRate()
    {
        QFETCH(QString, rate);
        QFETCH(int, speed);
        PtyPair receiver;
        QVERIFY(receiver.isOpen());
        LiveConsole c({}, {{1, receiver.devicePath()}}, QString());
        OptionButton *button = rate == "4800" ? c.w().opt4800 : rate == "19200" ? c.w().opt19k2 : c.w().opt9600;

        button->click(); // while "Off"
        c.w().optcom[1]->click();
        QVERIFY(c.port.portOpen());
        QVERIFY(button->isChecked());
        QCOMPARE(int(lineSpeed(receiver.devicePath())), speed);
    }

    // A port held by another program and a port the user may not open are
    // both hidden, but need different cures: "Off" tells which it is.
    void unusablePortSaysWhy_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("reason");
        QTest::newRow("held by another program") << true << "In use by another program (";
        QTest::newRow("no permission") << false << "Permission denied";
    }
    void unusablePortSaysWhy()
    {
        QFETCH(bool, busy);
        QFETCH(QString, reason);
        PtyPair receiver;
        QVERIFY(receiver.isOpen());
        QSerialPort holder(receiver.devicePath());
        std::optional<NoPermission> forbidden;
        if (busy) {
            QVERIFY(holder.open(QIODevice::ReadWrite));
        } else {
            forbidden.emplace(receiver.devicePath());
            if (!forbidden->taken)
                QSKIP("cannot take away the permission to open a pseudo-terminal here");
        }
        LiveConsole c({}, {{1, receiver.devicePath()}}, QString());
        forbidden.reset();

        QVERIFY(c.w().optcom[1]->isHidden());
        const QString tip = c.w().optoff->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("\nport 1 (%1): %2").arg(receiver.devicePath(), reason)), qPrintable(tip));
        QVERIFY(tip.startsWith(QLatin1String("Closes the port and probes ports 1 to 10 again.")));
    }

    void lostAdapterIsRetriedByItsStableNameOnly()
    {
        PtyPair a, b;
        QTemporaryDir dir;
        QVERIFY(a.isOpen() && b.isOpen() && dir.isValid());
        // Port 1 is whichever sorts first among the listed devices.
        const bool aFirst = orderedSerialDevices({a.devicePath(), b.devicePath()}).first() == a.devicePath();
        PtyPair &first = aFirst ? a : b;
        PtyPair &second = aFirst ? b : a;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        const QString stable = byId + QStringLiteral("/usb-Halvern_RX-if00-port0");
        QVERIFY(QDir().mkdir(byId) && QFile::link(first.devicePath(), stable));
        LiveConsole c({a.devicePath(), b.devicePath()}, {}, byId);
        QCOMPARE(c.w().optcom[1]->toolTip(), stable);
        QCOMPARE(c.w().optcom[2]->toolTip(), second.devicePath());

        c.w().optcom[1]->click();
        QVERIFY(c.port.portOpen());
        first.closeMaster();            // unplugged: its stable name goes with it, as udev removes it
        QVERIFY(QFile::remove(stable)); // and its pts number is free for any other pair to take
        QTRY_VERIFY(c.w().txtinstring->text().contains(QLatin1String("lost")));
        // With the reason the device gave, between the usual start and end.
        const QString notice = c.w().txtinstring->text();
        const QString start = QStringLiteral("Port 1 (%1) lost: ").arg(stable);
        const QString end = QStringLiteral(": waiting for it to come back");
        QVERIFY2(notice.startsWith(start + QLatin1String("Read failed (")) && notice.endsWith(end), qPrintable(notice));

        c.listed = {second.devicePath()}; // the machine renumbers: port 1 is the other adapter
        c.w().tmrreopen_Timer();
        QVERIFY(!c.port.portOpen());

        PtyPair replugged; // back, under a new device node
        QVERIFY(replugged.isOpen() && PtyPair::relink(stable, replugged.devicePath()));
        c.listed = {second.devicePath(), replugged.devicePath()};
        c.w().tmrreopen_Timer();
        QVERIFY(c.port.portOpen());
        QCOMPARE(c.w().txtinstring->text(), QStringLiteral("Port 1 (%1) is back").arg(stable));
        QVERIFY(c.port.output("S"));
        QByteArray arrived; // read as it comes: reading takes it
        QTRY_COMPARE((arrived += replugged.readAvailable()), QByteArray("S"));
    }

    // The notice names why the device went, not what an unrelated call that
    // failed just before left in errno: QSerialPort reads errno after a
    // hang-up that made no call fail.
    void lostNoticeQuotesTheDeviceNotAnEarlierError_data()
    {
        QTest::addColumn<int>("unrelated");
        QTest::newRow("a reader gone") << EPIPE;
        QTest::newRow("a full disk") << ENOSPC;
        QTest::newRow("nothing to read yet") << EAGAIN;
    }

    void lostNoticeQuotesTheDeviceNotAnEarlierError()
    {
        QFETCH(int, unrelated);
        UnrelatedFailure failure(unrelated);
        PtyPair line;
        QTemporaryDir byId;
        QVERIFY(line.isOpen() && byId.isValid());
        LiveConsole c({line.devicePath()}, {}, byId.path());
        c.w().optcom[1]->click();
        QVERIFY(c.port.portOpen());
        QCOMPARE(failure.fail(), unrelated);
        line.closeMaster();
        QDeadlineTimer deadline(5000);
        while (!c.w().txtinstring->text().contains(QLatin1String("lost")) && !deadline.hasExpired()) {
            failure.fail(); // errno as the port's next read finds it
            QCoreApplication::processEvents();
        }
        const QString notice = c.w().txtinstring->text();
        QVERIFY2(!notice.contains(qt_error_string(unrelated)), qPrintable(notice));
        QCOMPARE(notice,
                 QStringLiteral("Port 1 (%1) lost: Read failed (the device hung up): waiting for it to come back")
                     .arg(line.devicePath()));
    }
};

QTEST_GUILESS_MAIN(TestPortChoicePty)
#include "tst_portchoice_pty.moc"
