// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// halvern-receiver-sim: stands in for the VHF receiver on a pseudo-terminal.
// It plays receiver traffic into the line at the line rate and prints every
// command the console sends back.
#include "app/versionnotice.h"
#include "commands.h"
#include "ptyline.h"
#include "replay.h"
#include "script.h"
#include "traffic.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>

namespace {

// The console reads the line every 10 ms: a pause this long inside a message
// can split it in two.
constexpr qint64 kConsoleTickMs = 10;

const char *const description = R"(Simulates the Halvern VHF telemetry receiver on a pseudo-terminal.

The first output line names the device: "device: /dev/pts/N". Pair it with the console:
  halvern-console --port 1=/dev/pts/N        then click port 1
(--link /tmp/halvern-rx gives the device a fixed name to hand the console.)
Further lines: "seed: N" (--seed N repeats the traffic), "line: opened at 9600
baud" / "line: closed", "done: N messages played" (after it, "stalled: the longest
pause inside a message was N ms" when this machine held the simulator up for more
than a tick of the console), and the commands received.

Traffic plays only while a program has the device open; the simulator sees this
from the line speed that program sets, and waits until then. Bytes leave at
--baud, 10 bits a byte, with at least 30 ms of silence between messages: the
console frames messages by silence.

Profiles:
  steady    one frame about every second, five transmitters (one of each type) in turn
  busy      61 transmitters, 30 to 50 ms between frames
  noisy     steady with damaged CRCs, garbage bursts and bursts of 251 or more bytes
  scanning  scanning messages, "S" and a level byte, about every 250 ms

Script files (--script, replaces the profile): one message per line as hex byte
pairs separated by blanks, optionally led by the silence to keep before it as
+<milliseconds>ms (30 or more; lines without one keep --gap, default 1000).
'#' starts a comment; blank lines are skipped. Bytes meant as one burst go on one
line; a line led by "..." goes on with the burst of the line before, with no
silence between, for bursts too long for one line.
  # temperature 21.5 from transmitter 74565, then a scanning message at level 7
  +250ms 82 01 23 45 03 00 2B 00 70 A8 7C
  +100ms 53 07
  # the same frame again, as one burst written on two lines
  +250ms 82 01 23 45 03
  ... 00 2B 00 70 A8 7C
A bad line is reported as "script FILE:LINE: <what is wrong>", exit status 2,
with bytes other than printable ASCII shown as \xNN; so is a line longer than
4096 bytes.

Replay files (--replay, replaces the profile; --gap does not apply) play back
a field capture kept as text, one record a line: the time in seconds since the
capture began (a decimal fraction as needed, up to microseconds), a blank, then
the bytes received as hex pairs. '#' starts a comment; blank lines are skipped.
  # pump station, 3 May: a scanning message at level 7, then two frames
  0.5 53 07
  12.345 82 01 23 45 03 00 2B 00 70 A8 7C
  13.2 F3 00 02 00 84 2D C8 00 3A 9B 54
Times must not go backwards. Each record leaves as one burst at its time after
playing began (--speed 2 plays twice as fast, 0.5 half as fast); one due while
the record before is still leaving follows straight after it. Records with less
than 30 ms of silence between them reach the console as one message. The
capture's clock stands still while nobody has the device open.
A bad line is reported as "replay FILE:LINE: <what is wrong>", exit status 2.

Once the script, the replay or --count is done the simulator waits briefly for
the console to read the last bytes and exits 0.

Commands from the console are printed one a line:
  command AT= mode 2 crc ok (41 54 3D 02 C4 99)
  command AP addresses 1234 70000 0 crc ok (41 50 00 04 D2 01 11 70 00 00 00 40 74)
with "crc BAD" for a wrong CRC, and "unknown: <hex>" for bytes that are no command.

Exit status: 0 when done or stopped by SIGINT/SIGTERM; 1 when no pseudo-terminal
can be opened; 2 for bad options or a bad script or replay file.)";

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

int usageError(const QString &what)
{
    std::fprintf(stderr, "halvern-receiver-sim: %s\n", qPrintable(what));
    return 2;
}

struct Settings {
    TrafficOptions traffic;
    int baud = 19200;
    qint64 count = 0; // 0: no limit
    QString scriptFile;
    QString replayFile;
    double speed = 1; // of the replay
    QString link;
    bool wholeMessages = false; // each message in one write, for measurements
};

// Reads the options into `settings`; the reason when they make no sense.
std::optional<QString> readSettings(const QCommandLineParser &parser, Settings &settings)
{
    const QStringList profiles{QStringLiteral("steady"), QStringLiteral("busy"), QStringLiteral("noisy"),
                               QStringLiteral("scanning")};
    const auto profile = profiles.indexOf(parser.value(QStringLiteral("profile")));
    if (profile < 0)
        return QStringLiteral("--profile must be one of %1").arg(profiles.join(u'|'));
    settings.traffic.profile = static_cast<Profile>(profile);
    settings.traffic.gapMs = defaultGapMs(settings.traffic.profile);
    bool ok = true;
    if (parser.isSet(QStringLiteral("gap"))) {
        settings.traffic.gapMs = parser.value(QStringLiteral("gap")).toInt(&ok);
        if (!ok || settings.traffic.gapMs < shortestGapMs)
            return QStringLiteral("--gap must be a number of milliseconds, %1 or more").arg(shortestGapMs);
    }
    if (parser.isSet(QStringLiteral("count"))) {
        settings.count = parser.value(QStringLiteral("count")).toLongLong(&ok);
        if (!ok || settings.count < 1)
            return QStringLiteral("--count must be a number of messages, 1 or more");
    }
    settings.wholeMessages = parser.isSet(QStringLiteral("whole-messages"));
    settings.baud = parser.value(QStringLiteral("baud")).toInt(&ok);
    if (!QList<int>{4800, 9600, 19200}.contains(settings.baud))
        return QStringLiteral("--baud must be 4800, 9600 or 19200");
    settings.traffic.seed = parser.isSet(QStringLiteral("seed")) ? parser.value(QStringLiteral("seed")).toUInt(&ok)
                                                                 : QRandomGenerator::global()->generate();
    if (!ok)
        return QStringLiteral("--seed must be a number from 0 to 4294967295");
    settings.traffic.badCrc = parser.isSet(QStringLiteral("bad-crc"));
    settings.traffic.longBurst = parser.isSet(QStringLiteral("long-burst"));
    settings.scriptFile = parser.value(QStringLiteral("script"));
    settings.replayFile = parser.value(QStringLiteral("replay"));
    if (!settings.scriptFile.isEmpty() && !settings.replayFile.isEmpty())
        return QStringLiteral("--script and --replay cannot be used together");
    if (parser.isSet(QStringLiteral("speed"))) {
        settings.speed = parser.value(QStringLiteral("speed")).toDouble(&ok);
        if (!ok || !(settings.speed >= 0.01 && settings.speed <= 1000))
            return QStringLiteral("--speed must be a factor from 0.01 to 1000");
        if (settings.replayFile.isEmpty())
            return QStringLiteral("--speed needs --replay");
    }
    settings.link = parser.value(QStringLiteral("link"));
    return std::nullopt;
}

// Points `link` at `target`, replacing an older link in one step.
bool makeLink(const QString &link, const QString &target)
{
    const QFileInfo existing(link);
    if (existing.exists() && !existing.isSymLink())
        return false;
    const QString fresh = link + QStringLiteral(".new%1").arg(::getpid());
    QFile::remove(fresh);
    return QFile::link(target, fresh)
           && ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(link).constData()) == 0;
}

// The messages of a script or replay file; empty once the reason it has none is on stderr.
std::optional<QList<Message>> readMessages(
    const char *kind, const QString &path,
    const std::function<std::variant<QList<Message>, LineError>(QIODevice &)> &parse)
{
    QFile file(path);
    const QString shownPath = printable(QFile::encodeName(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        usageError(QStringLiteral("cannot read %1 %2").arg(QLatin1StringView(kind), shownPath));
        return std::nullopt;
    }
    auto parsed = parse(file);
    if (const auto *error = std::get_if<LineError>(&parsed)) {
        std::fprintf(stderr, "%s %s:%d: %s\n", kind, qPrintable(shownPath), error->line, qPrintable(error->what));
        return std::nullopt;
    }
    return std::get<QList<Message>>(parsed);
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Plays messages from `source` into the line and reports what comes back.
class Simulator {
public:
    using Source = std::function<std::optional<Message>()>;

    Simulator(PtyLine &line, const Settings &settings, Source source)
        : m_line(line),
          m_settings(settings),
          m_source(std::move(source)),
          m_commands(line.masterFd(), QSocketNotifier::Read)
    {
        m_pacer.setSingleShot(true);
        m_pacer.setTimerType(Qt::PreciseTimer);
        m_pacer.callOnTimeout([this] { pace(); });
        m_lineWatch.callOnTimeout([this] { watchLine(); });
        m_lineWatch.start(50);
        m_silence.setSingleShot(true);
        m_silence.callOnTimeout([this] { printCommands(true); });
        QObject::connect(&m_commands, &QSocketNotifier::activated, [this] { readCommands(); });
        m_current = m_source();
        m_pacer.start(m_current ? m_current->pauseMs : 0);
    }

private:
    // Waits out the silence, then for a listener, then lets the bytes out
    // as fast as the baud rate would.
    void pace()
    {
        if (!m_current)
            return finish();
        if (!m_sending) {
            watchLine();
            if (m_listenerBaud == 0)
                return m_pacer.start(50);
            if (const qint64 wait = untilDue(*m_current); wait > 0)
                return m_pacer.start(static_cast<int>(std::min<qint64>(wait, 1000)));
            m_sending = true;
            m_sent = 0;
            m_sendClock.start();
        }
        const qsizetype size = m_current->bytes.size();
        const qint64 due =
            m_settings.wholeMessages
                ? size
                : std::min<qint64>(size, 1 + m_sendClock.nsecsElapsed() * m_settings.baud / 10'000'000'000);
        if (due > m_sent) {
            // A real line never pauses inside a message; a busy machine can
            // hold this process up, and the console then takes the pieces
            // for two messages. Such pauses are reported.
            if (m_sent > 0)
                m_longestPauseMs = std::max(m_longestPauseMs, m_lastWrite.elapsed());
            m_sent += m_line.writeSome(m_current->bytes.mid(m_sent, due - m_sent));
            m_lastWrite.start();
        }
        if (m_sent < size)
            return m_pacer.start(1);
        m_sending = false;
        ++m_played;
        m_current = m_settings.count > 0 && m_played >= m_settings.count ? std::nullopt : m_source();
        // A message written whole still takes its time on the line.
        const qint64 onLineMs = m_settings.wholeMessages ? size * 10'000 / m_settings.baud : 0;
        m_pacer.start(m_current ? int(m_current->pauseMs + onLineMs) : 0);
    }

    // How long a replayed record still has to wait. The capture's clock starts
    // with the first record played and stands still while nobody listens.
    qint64 untilDue(const Message &message)
    {
        if (!message.dueMs)
            return 0;
        if (!m_captureClock.isValid())
            m_captureClock.start();
        return *message.dueMs - (m_captureClock.elapsed() - m_unheardMs);
    }

    void finish()
    {
        say(QStringLiteral("done: %1 messages played").arg(m_played));
        if (m_longestPauseMs >= kConsoleTickMs)
            say(QStringLiteral("stalled: the longest pause inside a message was %1 ms").arg(m_longestPauseMs));
        // Give the console up to two seconds to take the last bytes.
        m_drainClock.start();
        m_lineWatch.callOnTimeout([this] {
            if (m_line.unreadCount() == 0 || m_drainClock.elapsed() > 2000)
                QCoreApplication::exit(0);
        });
    }

    void watchLine()
    {
        const int baud = m_line.listenerBaud();
        if (baud == m_listenerBaud)
            return;
        if (m_listenerBaud == 0 && m_unheardClock.isValid())
            m_unheardMs += m_unheardClock.elapsed();
        m_listenerBaud = baud;
        if (baud == 0) {
            if (m_captureClock.isValid())
                m_unheardClock.start();
            m_line.discardUnread(); // nobody heard those bytes
            return say(QStringLiteral("line: closed"));
        }
        const QString speed = baud > 0 ? QString::number(baud) : QStringLiteral("another");
        const QString mismatch =
            baud == m_settings.baud ? QString() : QStringLiteral(" (simulator plays at %1)").arg(m_settings.baud);
        say(QStringLiteral("line: opened at %1 baud%2").arg(speed, mismatch));
    }

    void readCommands()
    {
        watchLine(); // report the opening before what was sent after it
        char buffer[512];
        ssize_t got = 0;
        while ((got = ::read(m_line.masterFd(), buffer, sizeof buffer)) > 0)
            m_pending.append(buffer, got);
        if (got < 0 && errno != EAGAIN)
            m_commands.setEnabled(false); // the line is gone; do not spin on it
        printCommands(false);
        if (!m_pending.isEmpty())
            m_silence.start(20);
    }

    void printCommands(bool silent)
    {
        for (const QString &piece : takeCommands(m_pending, silent))
            say(piece);
    }

    PtyLine &m_line;
    const Settings m_settings;
    Source m_source;
    std::optional<Message> m_current;
    bool m_sending = false;
    qsizetype m_sent = 0;
    qint64 m_played = 0;
    QElapsedTimer m_lastWrite;
    qint64 m_longestPauseMs = 0;
    int m_listenerBaud = 0;
    QElapsedTimer m_sendClock, m_drainClock;
    QElapsedTimer m_captureClock, m_unheardClock;
    qint64 m_unheardMs = 0; // the capture's clock stood still this long
    QTimer m_pacer, m_lineWatch, m_silence;
    QSocketNotifier m_commands;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvern-receiver-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(description));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("version"), QStringLiteral("Show the version and the licence, then exit.")},
        {QStringLiteral("profile"), QStringLiteral("Traffic: steady, busy, noisy or scanning (default steady)."),
         QStringLiteral("name"), QStringLiteral("steady")},
        {QStringLiteral("gap"), QStringLiteral("Least silence before each message, 30 or more (default by profile)."),
         QStringLiteral("ms")},
        {QStringLiteral("count"), QStringLiteral("Stop after this many messages, then exit 0."), QStringLiteral("n")},
        {QStringLiteral("bad-crc"), QStringLiteral("Now and then damage a frame's CRC.")},
        {QStringLiteral("long-burst"), QStringLiteral("Now and then send a burst of 251 or more bytes.")},
        {QStringLiteral("script"), QStringLiteral("Play the messages of this file instead of a profile."),
         QStringLiteral("file")},
        {QStringLiteral("replay"), QStringLiteral("Play back the capture in this file instead of a profile."),
         QStringLiteral("file")},
        {QStringLiteral("speed"),
         QStringLiteral("Replay at this many times the pace of the capture, 0.01 to 1000 (default 1)."),
         QStringLiteral("factor")},
        {QStringLiteral("baud"), QStringLiteral("Line rate: 4800, 9600 or 19200 (default 19200)."),
         QStringLiteral("rate"), QStringLiteral("19200")},
        {QStringLiteral("seed"), QStringLiteral("Seed for repeatable traffic (default random, printed)."),
         QStringLiteral("n")},
        {QStringLiteral("link"), QStringLiteral("Also make this symbolic link to the device; removed at exit."),
         QStringLiteral("path")},
        {QStringLiteral("whole-messages"),
         QStringLiteral("Hand each message to the line in one write, then wait its line time (for measurements: a "
                        "busy machine cannot split a message then).")},
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s\n", qPrintable(versionNotice("halvern-receiver-sim")));
        return 0;
    }
    Settings settings;
    if (const auto problem = readSettings(parser, settings))
        return usageError(*problem);

    const bool replay = !settings.replayFile.isEmpty();
    const QString file = replay ? settings.replayFile : settings.scriptFile;
    Simulator::Source source;
    if (!file.isEmpty()) {
        const int scriptPauseMs = parser.isSet(QStringLiteral("gap")) ? settings.traffic.gapMs : 1000;
        const auto messages = readMessages(replay ? "replay" : "script", file, [&](QIODevice &lines) {
            return replay ? parseReplay(lines, settings.speed) : parseScript(lines, scriptPauseMs);
        });
        if (!messages)
            return 2;
        source = [messages = *messages, next = qsizetype(0)]() mutable {
            return next < messages.size() ? std::optional(messages[next++]) : std::nullopt;
        };
    } else {
        source = [traffic = Traffic(settings.traffic)]() mutable { return std::optional(traffic.next()); };
    }

    // Signals only write a byte; the event loop does the quitting. In place
    // before the device is announced, so a stop right after it is clean too.
    if (::pipe(signalPipe) != 0)
        return 1;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    PtyLine line;
    QString error;
    if (!line.open(error)) {
        std::fprintf(stderr, "halvern-receiver-sim: no pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    say(QStringLiteral("device: %1").arg(line.devicePath()));
    if (!settings.link.isEmpty()) {
        if (!makeLink(settings.link, line.devicePath()))
            return usageError(QStringLiteral("cannot make the link %1").arg(settings.link));
        say(QStringLiteral("link: %1 -> %2").arg(settings.link, line.devicePath()));
    }
    if (file.isEmpty())
        say(QStringLiteral("seed: %1").arg(settings.traffic.seed));

    Simulator simulator(line, settings, std::move(source));
    const int status = app.exec();
    if (!settings.link.isEmpty() && QFileInfo(settings.link).symLinkTarget() == line.devicePath())
        QFile::remove(settings.link);
    return status;
}
