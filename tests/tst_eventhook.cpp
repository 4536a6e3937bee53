// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The event hook as a real program sees it: shell scripts written here record
// what they were handed, hang, crash or fail.
#include "events/eventhook.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Gone, or a zombie nobody has reaped yet.
bool processAlive(const QByteArray &pid)
{
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid.trimmed())));
    const qsizetype end = stat.lastIndexOf(") ");
    return end > 0 && stat.at(end + 2) != 'Z';
}

HookEvent hookEvent(const QByteArray &name, const QString &tx = QStringLiteral("74565"))
{
    return {name,
            tx,
            tx.isEmpty() ? QString() : QStringLiteral("temperature"),
            QStringLiteral("detail of ") + QString::fromUtf8(name),
            QStringLiteral("2026-12-08T09:05:07.000+00:00"),
            QStringLiteral("north-1"),
            "{\"kind\":\"event\",\"event\":\"" + name + "\"}"};
}

} // namespace

class TestEventHook : public QObject {
    Q_OBJECT

private:
    // A hook in a folder whose name has a space: one program, no splitting.
    QString writeHook(const QByteArray &body, bool executable = true)
    {
        QDir(m_dir->path()).mkdir(QStringLiteral("hook dir"));
        const QString path = m_dir->filePath(QStringLiteral("hook dir/on event.sh"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + '\n') < 0)
            qFatal("cannot write the hook");
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }
    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ManualClock m_clock;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        qputenv("HOOK_TEST_DIR", m_dir->path().toLocal8Bit());
    }

    void environmentAndStandardInput_data()
    {
        QTest::addColumn<QString>("tx");
        QTest::addColumn<QString>("type");
        QTest::newRow("a transmitter's event") << QStringLiteral("74565") << QStringLiteral("temperature");
        QTest::newRow("no transmitter: set and empty") << QString() << QString();
    }
    void environmentAndStandardInput()
    {
        QFETCH(QString, tx);
        QFETCH(QString, type);
        const QString program = writeHook(
            "{ for v in EVENT TX TYPE DETAIL TIME STATION; do eval \"printf '%s=%s\\n' $v \\\"\\${HALVERN_$v-unset}\\\"\"; done\n"
            "  printf 'own=%s\\n' \"$HOOK_TEST_DIR\"; } > \"$HOOK_TEST_DIR/env\"\n"
            "cat > \"$HOOK_TEST_DIR/stdin\"");
        EventHook hook(program, m_clock);
        HookEvent posted = hookEvent("channel_changed", tx);
        posted.type = type;
        // Quoting of every kind: none of it may reach a shell.
        posted.detail = QStringLiteral("$(touch made1); touch made2 `touch made3` | & > \"'\\ 1 closed °C");
        hook.post(posted);
        QTRY_VERIFY(hook.idle());

        const QByteArray expected =
            "EVENT=channel_changed\nTX=" + tx.toUtf8() + "\nTYPE=" + type.toUtf8()
            + "\nDETAIL=" + posted.detail.toUtf8()
            + "\nTIME=2026-12-08T09:05:07.000+00:00\nSTATION=north-1\nown=" + m_dir->path().toLocal8Bit() + '\n';
        QCOMPARE(readAll(path("env")), expected);
        QCOMPARE(readAll(path("stdin")), posted.json + '\n');
        for (const char *made : {"made1", "made2", "made3"})
            QVERIFY2(!QFile::exists(path(made)), made);
        QCOMPARE(hook.failures(), 0);
    }

    void oneAtATimeInOrder()
    {
        // The first run holds on until the test opens the gate: nothing else may start meanwhile.
        QVERIFY(::mkfifo("gate", 0600) == 0);
        EventHook hook(writeHook("echo \"start $HALVERN_EVENT\" >> log; cat > /dev/null\n"
                                 "[ \"$HALVERN_EVENT\" = e1 ] && read x < gate\n"
                                 "echo \"end $HALVERN_EVENT\" >> log"),
                       m_clock);
        QByteArray expected;
        for (const QByteArray name : {"e1", "e2", "e3", "e4", "e5"}) {
            hook.post(hookEvent(name));
            expected += "start " + name + "\nend " + name + '\n';
        }
        QTRY_COMPARE(readAll(path("log")), QByteArray("start e1\n"));
        QCOMPARE(hook.waiting(), 4);
        // Opened without blocking, the event loop running meanwhile: the hook's
        // standard input still has to be written and closed before it reads the gate.
        int gate = -1;
        QTRY_VERIFY((gate = ::open("gate", O_WRONLY | O_NONBLOCK)) >= 0);
        QCOMPARE(::write(gate, "open\n", 5), 5);
        ::close(gate);
        QTRY_COMPARE(readAll(path("log")), expected);
    }

    void failureReportedAndNextEventRuns_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QString>("report");
        QTest::newRow("not executable") << QByteArray("true") << false << QStringLiteral("on first: cannot start");
        QTest::newRow("non-zero exit") << QByteArray("exit 3") << true << QStringLiteral("on first: exit status 3");
        QTest::newRow("crash") << QByteArray("kill -SEGV $$") << true << QStringLiteral("on first: crashed");
        QTest::newRow("hangs, with a child") << QByteArray("sleep 600 & echo $! > child; wait") << true
                                             << QStringLiteral("on first: killed after 200 ms");
    }
    void failureReportedAndNextEventRuns()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, executable);
        QFETCH(QString, report);
        EventHook hook(writeHook("[ \"$HALVERN_EVENT\" = second ] && { touch second; exit 0; }\n" + body, executable),
                       m_clock);
        hook.setTimeout(std::chrono::milliseconds(200));
        QSignalSpy problems(&hook, &EventHook::problem);
        hook.post(hookEvent("first"));
        hook.post(hookEvent("second"));
        QTRY_VERIFY(hook.idle());
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).at(0).toString().contains(report), qPrintable(problems.at(0).at(0).toString()));
        QCOMPARE(QFile::exists(path("second")), executable);
        if (QFile::exists(path("child")))
            QTRY_VERIFY(!processAlive(readAll(path("child"))));
    }

    void reportedAtMostOnceAMinute()
    {
        EventHook hook(writeHook("exit 1"), m_clock);
        QSignalSpy problems(&hook, &EventHook::problem);
        const auto runAll = [&](int count) {
            for (int i = 0; i < count; ++i)
                hook.post(hookEvent("fails"));
            QTRY_VERIFY(hook.idle());
        };
        runAll(3);
        QCOMPARE(problems.size(), 1);
        m_clock.advanceSeconds(59);
        runAll(1);
        QCOMPARE(problems.size(), 1);
        m_clock.advanceSeconds(1);
        runAll(1);
        QCOMPARE(problems.size(), 2);
        QVERIFY(problems.at(1).at(0).toString().endsWith(QStringLiteral("(3 more problems since the last report)")));
        QCOMPARE(hook.failures(), 5);
    }

    void boundedQueueAndKilledAtExit()
    {
        auto hook = std::make_unique<EventHook>(writeHook("sleep 600 & echo $! > child; wait"), m_clock);
        QSignalSpy problems(hook.get(), &EventHook::problem);
        hook->post(hookEvent("hangs"));
        QTRY_VERIFY(QFile::exists(path("child")) && !readAll(path("child")).isEmpty());
        for (qsizetype i = 0; i < EventHook::kEventsWaiting + 2; ++i)
            hook->post(hookEvent("waits"));
        QCOMPARE(hook->waiting(), EventHook::kEventsWaiting);
        QCOMPARE(hook->dropped(), 2);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.at(0).at(0).toString().endsWith(QStringLiteral("events dropped so far: 1")));
        hook.reset();
        QTRY_VERIFY(!processAlive(readAll(path("child"))));
    }
};

QTEST_GUILESS_MAIN(TestEventHook)
#include "tst_eventhook.moc"
