// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Soak: the faults at once. Readings of several transmitters keep arriving
// through a real pseudo-terminal and the real QSerialPort while the device
// vanishes (with a whole frame not yet polled, or half a frame) and comes
// back, the log folder is renamed away and back, and one log file is refused
// (a FIFO or a symbolic link at its path, which stop root too). At the end
// the exit step saves what still waits.
//
// Every reading the console decoded must be in its intended file exactly
// once, in order, or after those lines in that file's recovery file; no line
// twice, none in another file, none lost. The ticks and the clock are driven
// by hand; the test waits only on the event loop for the line's bytes and
// the device's loss to reach the port.
// HALVERN_SOAK_FAULT_FRAMES sets the frames per row (bench/soak: 20 000).
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "comms/qtcommsport.h"
#include "logging/logwriter.h"
#include "logging/recovery.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

int framesWanted()
{
    const int wanted = qEnvironmentVariableIntValue("HALVERN_SOAK_FAULT_FRAMES");
    return wanted > 0 ? wanted : 200;
}

constexpr int kTransmitters[] = {1201, 1202, 1203, 1204, 1205};
constexpr int kRefusedTx = 1203; // its file is refused under "Log Displayed Tx. Separately"

int txOf(int n)
{
    return kTransmitters[n % 5];
}

// Reading `n`: a pulse count of n, so every log line names its reading.
QByteArray readingFrame(int n)
{
    return telemetryFrame(0x81, txOf(n), 0x01, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF, n % 16);
}

enum class Logging { EveryMessage, TxSeparately };
enum class Refusal { Fifo, Link };

// What happens before reading n, by its place in every forty.
enum class Step { None, Refuse, VanishWithFrameWaiting, FolderAway, VanishMidFrame, FolderBack, RefusalGone };

Step stepAt(int n)
{
    switch (n % 40) {
    case 3: return Step::Refuse;
    case 10: return Step::VanishWithFrameWaiting;
    case 15: return Step::FolderAway;
    case 22: return Step::VanishMidFrame;
    case 25: return Step::FolderBack;
    case 32: return Step::RefusalGone;
    default: return Step::None;
    }
}

// Runs the event loop until `done`; false after five seconds. It waits in
// the loop for events (the port's bytes, its loss), never in a sleep.
bool waitUntil(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(5000);
    QTimer wake; // lets the loop look at the deadline now and then
    wake.start(100);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

class FaultSoak {
public:
    FaultSoak(Logging how, Refusal refusedBy) : logging(how), refusal(refusedBy)
    {
        QDir().mkpath(folder);
        QFile baitFile(bait);
        baitFile.open(QIODevice::WriteOnly);
        PtyPair::relink(link, pty->devicePath());
        window = std::make_unique<Mainscreen>(port, clock);
        window->Form_Load();
        window->tmrcomms->stop();
        window->tmrpctime->stop();
        window->txtfilepath->setText(folder + QLatin1Char('/'));
        window->chklogen->setChecked(true);
        (how == Logging::EveryMessage ? window->optall : window->opttxonly)->setChecked(true);
        window->optcom[1]->setChecked(true);
        window->optcom_Click(1);
    }

    QTemporaryDir tmp;
    const QString folder = tmp.filePath(QStringLiteral("logs"));
    const QString away = tmp.filePath(QStringLiteral("logs.away"));
    const QString stateFolder = tmp.filePath(QStringLiteral("state/halvern"));
    const QString bait = tmp.filePath(QStringLiteral("bait.csv")); // where the link leads
    const QString link = tmp.filePath(QStringLiteral("receiver"));
    QtCommsPort port{PortMap({{1, link}})};
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    std::unique_ptr<PtyPair> pty = std::make_unique<PtyPair>();
    std::unique_ptr<Mainscreen> window;
    const Logging logging;
    const Refusal refusal;
    QMap<QString, QList<int>> owed; // intended file: the readings decoded for it, in order
    bool refused = false;
    bool folderAway = false;
    int parts = 0; // files moved aside for a refusal

    Mainscreen &w() { return *window; }

    QString intendedFile(int n) const
    {
        const QString base = logging == Logging::EveryMessage
                                 ? QStringLiteral("halvernlog")
                                 : QStringLiteral("tx%1_").arg(txOf(n), 6, 10, QLatin1Char('0'));
        return folder + QLatin1Char('/') + base + clock.now().toString(QStringLiteral("ddMMyyyy"))
               + QStringLiteral(".csv");
    }
    QString refusedFile() const
    {
        static_assert(kTransmitters[2] == kRefusedTx);
        return intendedFile(2); // the day's file under "Log Every Message Received"
    }
    QString whereNow(const QString &path) const { return folderAway ? away + path.mid(folder.size()) : path; }

    // The bytes reach the console's port (the event loop reads them).
    bool arrive(const QByteArray &bytes)
    {
        return pty->write(bytes) && waitUntil([&] { return port.inBufferCount() == bytes.size(); });
    }
    // The console's poll: the burst stood still for a tick, the next takes it.
    void poll()
    {
        w().tmrcomms_Timer();
        w().tmrcomms_Timer();
    }
    // Owes reading n if the console decoded it just now.
    bool decoded(int n)
    {
        if (window->state().txno != txOf(n) || window->state().logvalue != n)
            return false;
        owed[intendedFile(n)].append(n);
        return true;
    }

    // The device goes, and its name with it (as an unplugged adapter's does):
    // another program's new pseudo-terminal may take the freed number. The
    // loss runs from the event loop, as in the console.
    bool vanish()
    {
        pty->closeMaster();
        PtyPair::relink(link, tmp.filePath(QStringLiteral("gone")));
        return waitUntil([&] { return !port.portOpen() && w().txtinstring->text().contains(QLatin1String(" lost")); });
    }
    // The lost device is retried once while still gone, then comes back.
    // Empty when it did; otherwise what went wrong.
    QString comeBack()
    {
        w().tmrreopen->stop(); // retried by hand below
        w().tmrreopen_Timer();
        if (port.portOpen())
            return QStringLiteral("reopened while gone: %1").arg(port.openedDevice());
        pty = std::make_unique<PtyPair>();
        if (!pty->isOpen() || !PtyPair::relink(link, pty->devicePath()))
            return QStringLiteral("no new device");
        w().tmrreopen_Timer();
        return port.portOpen() ? QString() : QStringLiteral("not reopened on %1").arg(pty->devicePath());
    }

    void refuse(bool on)
    {
        const QByteArray path = QFile::encodeName(whereNow(refusedFile()));
        refused = on;
        if (!on) {
            QFile::remove(QFile::decodeName(path)); // its waiting lines make it anew
            return;
        }
        // What was written so far moves aside, to be counted with the rest.
        QFile::rename(QFile::decodeName(path),
                      QFile::decodeName(path) + QStringLiteral(".part%1").arg(++parts, 4, 10, QLatin1Char('0')));
        if (refusal == Refusal::Fifo)
            ::mkfifo(path.constData(), 0666);
        else
            QFile::link(bait, QFile::decodeName(path));
    }

    void moveFolder(bool toAway)
    {
        folderAway = toAway;
        QDir().rename(toAway ? folder : away, toAway ? away : folder);
    }

    // Readings in the folder's files and the recovery files, by intended file.
    // A file that belongs to no intended file counts under its own name.
    QMap<QString, QList<int>> found() const
    {
        QMap<QString, QList<int>> readings;
        // A file's parts moved aside come before it, oldest first.
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
        std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.contains(QLatin1String(".part")) && !b.contains(QLatin1String(".part"));
        });
        for (const QString &name : names) {
            const QString path = QDir(folder).filePath(name);
            if (!QFileInfo(path).isFile() || QFileInfo(path).isSymLink())
                continue; // the refusal left standing at the end
            const qsizetype part = name.indexOf(QLatin1String(".part"));
            readings[part < 0 ? path : path.left(folder.size() + 1 + part)] += readLines(path);
        }
        for (const QString &name : QDir(stateFolder).entryList(QDir::Files)) {
            const QString path = QDir(stateFolder).filePath(name);
            QString intended = path; // unless it is the recovery file of an owed file
            for (auto it = owed.cbegin(); it != owed.cend(); ++it) {
                if (recoveryFilePath(stateFolder, it.key()) == path)
                    intended = it.key();
            }
            readings[intended] += readLines(path); // a recovery file has the header too
        }
        return readings;
    }

private:
    // Pulse counts of a file's lines after its header; a line whose
    // transmitter is not its reading's, or a missing header, counts as -1.
    static QList<int> readLines(const QString &path)
    {
        QFile file(path);
        QList<int> readings;
        if (!file.open(QIODevice::ReadOnly))
            return {-2};
        if (file.readLine() != "Tx Number,S-Level,Value,Time,Date\r\n")
            readings.append(-1);
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().split(',');
            const int n = fields.value(2).toInt();
            readings.append(fields.value(0).toInt() == txOf(n) ? n : -1);
        }
        return readings;
    }
};

} // namespace

class TestSoakFaults : public QObject {
    Q_OBJECT
private slots:
    void everyDecodedReadingIsLoggedOnce_data();
    void everyDecodedReadingIsLoggedOnce();
};

void TestSoakFaults::everyDecodedReadingIsLoggedOnce_data()
{
    QTest::addColumn<Logging>("logging");
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<bool>("folderAwayAtExit");
    QTest::newRow("every message, day file a FIFO") << Logging::EveryMessage << Refusal::Fifo << false;
    QTest::newRow("every message, folder away at exit") << Logging::EveryMessage << Refusal::Link << true;
    QTest::newRow("tx separately, one file a FIFO") << Logging::TxSeparately << Refusal::Fifo << false;
    QTest::newRow("tx separately, one file a link") << Logging::TxSeparately << Refusal::Link << false;
    QTest::newRow("tx separately, folder away at exit") << Logging::TxSeparately << Refusal::Fifo << true;
}

void TestSoakFaults::everyDecodedReadingIsLoggedOnce()
{
    QFETCH(Logging, logging);
    QFETCH(Refusal, refusal);
    QFETCH(bool, folderAwayAtExit);
    FaultSoak soak(logging, refusal);
    QVERIFY(soak.pty->isOpen());
    QVERIFY(soak.port.portOpen());

    const int frames = framesWanted();
    int waitedAtMost = 0;
    int lost = 0;
    QString back; // what went wrong when the device came back
    for (int n = 1; n <= frames; ++n) {
        switch (stepAt(n)) {
        case Step::None: break;
        case Step::Refuse: soak.refuse(true); break;
        case Step::RefusalGone: soak.refuse(false); break;
        case Step::FolderAway: soak.moveFolder(true); break;
        case Step::FolderBack: soak.moveFolder(false); break;
        case Step::VanishWithFrameWaiting:
            // Whole in the port but not yet polled: the loss takes it in.
            QVERIFY(soak.arrive(readingFrame(n)));
            QVERIFY(soak.vanish());
            QVERIFY2(soak.decoded(n), qPrintable(QStringLiteral("reading %1").arg(n)));
            back = soak.comeBack();
            QVERIFY2(back.isEmpty(), qPrintable(back));
            ++lost;
            continue;
        case Step::VanishMidFrame:
            // Half a frame is no reading.
            QVERIFY(soak.arrive(readingFrame(n).left(6)));
            QVERIFY(soak.vanish());
            QCOMPARE(soak.w().state().logvalue == n, false);
            back = soak.comeBack();
            QVERIFY2(back.isEmpty(), qPrintable(back));
            ++lost;
            continue;
        }
        QVERIFY(soak.arrive(readingFrame(n)));
        soak.poll();
        QVERIFY2(soak.decoded(n), qPrintable(QStringLiteral("reading %1").arg(n)));
        if (n % 4 == 0) {
            soak.clock.advanceSeconds(1);
            soak.w().tmrpctime_Timer();
        }
        waitedAtMost = std::max(waitedAtMost, soak.w().logWriter().pending());
        QVERIFY(soak.w().chklogen->isChecked()); // an outage is not the user's choice
    }

    // The exit: the refused file still refused, the folder perhaps away.
    if (!soak.refused)
        soak.refuse(true);
    if (folderAwayAtExit && !soak.folderAway)
        soak.moveFolder(true);
    if (!folderAwayAtExit && soak.folderAway)
        soak.moveFolder(false);
    for (int n = frames + 1; n <= frames + 10; ++n) {
        QVERIFY(soak.arrive(readingFrame(n)));
        soak.poll();
        QVERIFY(soak.decoded(n));
    }
    const QStringList report = saveWaitingLogLines(soak.w().logWriter(), soak.stateFolder);
    QVERIFY(!report.isEmpty()); // the recovery files were used
    QVERIFY(!report.join(u'\n').contains(QLatin1String("nor saved")));
    QCOMPARE(soak.w().logWriter().pending(), 0);
    if (soak.folderAway)
        soak.moveFolder(false);

    QVERIFY(lost > 0 || frames < 40);
    QVERIFY(waitedAtMost > 0);                // lines really waited
    QCOMPARE(QFileInfo(soak.bait).size(), 0); // nothing written through the link
    const auto found = soak.found();
    QCOMPARE(found.keys(), soak.owed.keys()); // no file but the intended ones
    for (auto it = soak.owed.cbegin(); it != soak.owed.cend(); ++it)
        QCOMPARE(found.value(it.key()), it.value()); // each reading once, in order
}

QTEST_GUILESS_MAIN(TestSoakFaults)
#include "tst_soak_faults.moc"
