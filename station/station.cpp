// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "station/station.h"

#include "app/mainscreen.h"
#include "app/receivetick.h"
#include "comms/commsport.h"
#include "logging/logwriter.h"
#include "logging/recovery.h"
#include "reception/messagejson.h"
#include "station/linestream.h"
#include "station/servicenotifier.h"
#include "uplink/uplink.h"

#include <QDir>
#include <QTimer>

#include <cstdio>

void diagnostic(const QString &text)
{
    std::fprintf(stderr, "halvern-station: %s\n", qPrintable(text));
    std::fflush(stderr);
}

Station::Station(const StationOptions &options, CommsPort &port, const Clock &clock, ServiceNotifier &notifier,
                 int jsonFd)
    : m_options(options), commsport(port), m_notifier(notifier), m_form(std::make_unique<Mainscreen>(port, clock))
{
    if (m_options.json) {
        m_json = new LineStream(jsonFd, this);
        connect(m_json, &LineStream::ended, this, [](const QString &reason) {
            diagnostic(QStringLiteral("JSON stream ended (%1); reception and logging go on").arg(reason));
        });
    }
    connect(&m_form->feed(), &MessageFeed::handled, this, &Station::messageHandled);
    m_uplink = new Uplink(m_form->outlet(), clock, m_options.mqtt, m_options.events, this);
    connect(m_uplink, &Uplink::diagnostic, this, [](const QString &line) { diagnostic(line); });
    // Always listened to, so a remote console hears why nothing happened when they are not accepted.
    m_uplink->answerCommands(m_options.acceptCommands);
    connect(m_uplink, &Uplink::eventRaised, this, [this](const StationEvent &event) {
        if (m_json)
            m_json->writeLine(eventJson(event));
        // What changed the receiver, or was refused, stays in the journal with or without --json.
        if (event.name == EventName::CommandSent)
            diagnostic(QStringLiteral("command from the broker written to the receiver: %1").arg(event.detail));
        else if (event.name == EventName::CommandRefused)
            diagnostic(QStringLiteral("command from the broker refused: %1").arg(event.detail));
    });
    // The outlet's last step: the folder watch, the retries and the uplink's second are done.
    m_form->outlet().everySecond(Outlet::Second::Program, this, [this] { everySecond(); });
    const WatchdogPing ping = watchdogPing(m_notifier.watchdogInterval());
    if (!ping.note.isEmpty())
        diagnostic(ping.note);
    if (ping.interval.count() > 0) {
        m_watchdog = new QTimer(this);
        m_watchdog->setInterval(ping.interval);
        connect(m_watchdog, &QTimer::timeout, this, [this] { m_notifier.notify("WATCHDOG=1"); });
    }
}

Station::~Station() = default;

void Station::start()
{
    applyOptions();
    // The console's start-up, the chosen port in place of the probe.
    m_form->Form_Load([this] { openPort(); });
    m_uplink->start();
    if (m_watchdog)
        m_watchdog->start();
    m_notifier.notify("READY=1");
    tellStatus();
}

// Each control as a user would set it, in the order the window offers them.
void Station::applyOptions()
{
    Mainscreen &w = *m_form;
    const struct {
        const QString &settings;
        OptionButton *button;
        void (Mainscreen::*click)();
    } rates[] = {{kSettings4800, w.opt4800, &Mainscreen::opt4800_Click},
                 {kSettings9600, w.opt9600, &Mainscreen::opt9600_Click},
                 {kSettings19200, w.opt19k2, &Mainscreen::opt19k2_Click}};
    for (const auto &rate : rates) {
        if (rate.settings == m_options.baudSettings) {
            rate.button->setChecked(true);
            (w.*rate.click)();
        }
    }

    w.txtaddfilter->setText(QString::number(m_options.filter));
    QString folder =
        QDir::cleanPath(QDir(m_options.logFolder.isEmpty() ? QDir::currentPath() : m_options.logFolder).absolutePath());
    if (!folder.endsWith(u'/'))
        folder += u'/';
    w.txtfilepath->setText(folder);
    w.txtpulsefilename->setText(m_options.baseName);
    using Log = StationOptions::Log;
    switch (m_options.log) {
    case Log::Every: w.optall->setChecked(true); break;
    case Log::Separate: w.opttxonly->setChecked(true); break;
    case Log::Snapshot: w.opt15min->setChecked(true); break;
    case Log::Off: break;
    }
    w.chklogen->setChecked(m_options.log != Log::Off);
}

void Station::openPort()
{
    Mainscreen &w = *m_form;
    constexpr int kStationPort = 1;
    w.optcom[kStationPort]->setChecked(true);
    w.optcom_Click(kStationPort);
    m_portWasOpen = commsport.portOpen();
    if (m_portWasOpen) {
        diagnostic(QStringLiteral("receiving on %1 at %2").arg(commsport.openedDevice(), commsport.settings()));
        return;
    }
    // Not there yet (an adapter not plugged in): waited for as for a lost one.
    diagnostic(QStringLiteral("%1: %2; waiting for it").arg(m_options.port, commsport.errorString()));
    w.optcom[kStationPort]->setChecked(true);
    w.portLost(commsport.deviceName(kStationPort));
}

void Station::messageHandled(const HandledMessage &message)
{
    ++m_messages;
    if (m_json)
        m_json->writeLine(messageJson(message));
}

void Station::everySecond()
{
    const bool open = commsport.portOpen();
    if (open != m_portWasOpen) {
        m_portWasOpen = open;
        diagnostic(open ? QStringLiteral("%1 is back").arg(commsport.openedDevice())
                        : QStringLiteral("%1 lost (%2); waiting for it to come back")
                              .arg(commsport.openedDevice(), commsport.errorString()));
    }
    const QString notice = m_form->lbllogqueue->text();
    if (notice != m_logNotice) {
        m_logNotice = notice;
        diagnostic(notice.isEmpty() ? QStringLiteral("log: every waiting line written")
                                    : QStringLiteral("log: ") + notice);
    }
    if (m_json && m_json->dropped() != m_jsonDropped) {
        m_jsonDropped = m_json->dropped();
        diagnostic(QStringLiteral("JSON stream: the reader falls behind; %1 lines dropped so far").arg(m_jsonDropped));
    }
    tellStatus();
}

void Station::tellStatus()
{
    const QString port = commsport.portOpen() ? QStringLiteral("%1 open").arg(commsport.openedDevice())
                                              : QStringLiteral("waiting for %1").arg(m_options.port);
    QString text = QStringLiteral("STATUS=%1, messages: %2").arg(port).arg(m_messages);
    if (const QString uplink = m_uplink->notice(); !uplink.isEmpty())
        text += QStringLiteral("; ") + uplink;
    const QByteArray status = text.toUtf8();
    if (status != m_status) {
        m_status = status;
        m_notifier.notify(status);
    }
}

void Station::takeSnapshot()
{
    m_form->cmdlogscreen_Click();
}

void Station::finish()
{
    m_notifier.notify("STOPPING=1");
    m_form->receiveTick().stop();
    m_form->tmrpctime->stop();
    m_form->tmrreopen->stop();
    if (commsport.portOpen())
        commsport.setPortOpen(false);
    m_uplink->finish();
    if (m_json)
        m_json->drain(2000);
    // Log lines that still wait are written now or saved, never dropped.
    for (const QString &line : saveWaitingLogLines(m_form->logWriter(), recoveryFolder()))
        diagnostic(line);
}
