// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/eventhook.h"

#include <QProcessEnvironment>

#include <signal.h>
#include <unistd.h>

EventHook::EventHook(QString program, const Clock &clock, QObject *parent)
    : QObject(parent), m_program(std::move(program)), m_clock(clock)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &EventHook::timedOut);
}

EventHook::~EventHook()
{
    if (!m_process)
        return;
    // At exit a run still going is ended rather than left behind; after
    // SIGKILL the wait is only for the kernel to hand back its status.
    m_process->disconnect(this);
    killGroup();
    m_process->waitForFinished(1000);
}

void EventHook::post(const HookEvent &event)
{
    m_waiting.push_back(event);
    if (qsizetype(m_waiting.size()) > kEventsWaiting) {
        m_waiting.pop_front();
        ++m_dropped;
        report(QStringLiteral("Event hook %1 falls behind: events dropped so far: %2").arg(m_program).arg(m_dropped));
    }
    // Started from the event loop, never inside the caller's own work.
    if (!m_process)
        QMetaObject::invokeMethod(this, &EventHook::startNext, Qt::QueuedConnection);
}

void EventHook::startNext()
{
    if (m_process || m_waiting.empty())
        return;
    const HookEvent event = std::move(m_waiting.front());
    m_waiting.pop_front();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HALVERN_EVENT"), QString::fromUtf8(event.name));
    environment.insert(QStringLiteral("HALVERN_TX"), event.tx);
    environment.insert(QStringLiteral("HALVERN_TYPE"), event.type);
    environment.insert(QStringLiteral("HALVERN_DETAIL"), event.detail);
    environment.insert(QStringLiteral("HALVERN_TIME"), event.time);
    environment.insert(QStringLiteral("HALVERN_STATION"), event.station);

    auto *process = new QProcess(this);
    m_process = process;
    m_running = event.name;
    m_killed = false;
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Its own process group, so a timeout ends whatever the program started.
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(process, &QProcess::finished, this, &EventHook::finished);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failedToStart();
    });
    process->start(m_program, {});
    if (m_process != process)
        return; // it failed to start at once
    process->write(event.json + '\n');
    process->closeWriteChannel();
    m_deadline.start(m_timeout);
}

void EventHook::finished(int exitCode, QProcess::ExitStatus status)
{
    if (m_killed)
        fail(QStringLiteral("killed after %1 ms").arg(m_timeout.count()));
    else if (status == QProcess::CrashExit)
        fail(QStringLiteral("crashed"));
    else if (exitCode != 0)
        fail(QStringLiteral("exit status %1").arg(exitCode));
    endRun();
}

void EventHook::failedToStart()
{
    fail(QStringLiteral("cannot start: %1").arg(m_process->errorString()));
    endRun();
}

void EventHook::timedOut()
{
    if (!m_process || m_process->state() != QProcess::Running)
        return;
    m_killed = true;
    killGroup();
}

void EventHook::killGroup()
{
    const qint64 pid = m_process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    m_process->kill(); // should the group be gone already
}

void EventHook::endRun()
{
    m_deadline.stop();
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
    m_running.clear();
    QMetaObject::invokeMethod(this, &EventHook::startNext, Qt::QueuedConnection);
}

void EventHook::fail(const QString &what)
{
    ++m_failures;
    report(QStringLiteral("Event hook %1 failed on %2: %3").arg(m_program, QString::fromUtf8(m_running), what));
}

void EventHook::report(const QString &line)
{
    const QDateTime now = m_clock.now();
    if (m_lastReport.isValid() && m_lastReport.secsTo(now) < kReportEverySeconds && m_lastReport <= now) {
        ++m_unreported;
        return;
    }
    m_lastReport = now;
    const qint64 unreported = std::exchange(m_unreported, 0);
    emit problem(unreported == 0 ? line
                                 : line + QStringLiteral(" (%1 more problems since the last report)").arg(unreported));
}
