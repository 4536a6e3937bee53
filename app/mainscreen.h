// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The main form: every control but the signal monitor's, held without
// widgets (app/controls.h), its timers and handlers, the program-wide
// variables and the procedures. Its handlers are defined beside the
// subsystem each belongs to. The console shows it in MainscreenWindow
// (app/mainscreenwindow.h); the station runs it with no window at all.
#include <QObject>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "app/controls.h"
#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "app/outlet.h"
#include "comms/portmap.h"
#include "monitor/monitorview.h"
#include "reception/messagefeed.h"

class QTimer;
class CommsPort;
class Clock;
class LogWriter;
class ReceiveTick;

class Mainscreen : public QObject {
    Q_OBJECT
public:
    Mainscreen(CommsPort &commsport, const Clock &clock, QObject *parent = nullptr);
    ~Mainscreen() override;

    GlobalDec &state() { return m_g; }
    ModFunctions &mod() { return m_modFunctions; }
    CommsPort &port() { return commsport; }
    LogWriter &logWriter() { return *m_log; }
    // Every message the receive path handled, once handled.
    MessageFeed &feed() { return m_feed; }
    // What the outputs take: the feed, the port's and the log's state, the second.
    Outlet &outlet() { return m_outlet; }
    // tmrcomms, asleep while the line is quiet: start and stop it here.
    ReceiveTick &receiveTick() { return *m_tick; }

    // What "Signal Monitor" opens; none (the station) leaves the button idle.
    void setMonitorOpener(MonitorOpener opener) { m_openMonitor = std::move(opener); }

    // Controls, by the names the procedures use (children of the form under
    // the same object names as the window's widgets).
    OptionButton *optoff = nullptr;
    std::array<OptionButton *, kLastPort + 1> optcom{}; // kFirstPort..kLastPort
    OptionButton *opt4800 = nullptr, *opt9600 = nullptr, *opt19k2 = nullptr;
    CommandButton *cmdseqadd = nullptr, *cmdlogscreen = nullptr, *cmdsigmon = nullptr;
    CommandButton *cmdprogadd = nullptr, *cmdprog8chadd = nullptr, *cmdprogmode = nullptr;
    CheckBox *chklogen = nullptr;
    OptionButton *opt15min = nullptr, *optall = nullptr, *opttxonly = nullptr;
    TextBox *txtfilepath = nullptr, *txtpulsefilename = nullptr, *txtmode = nullptr;
    std::array<TextBox *, 9> txtadd{}; // 1..8
    TextBox *txtmask = nullptr, *txtaddfilter = nullptr, *txtinstring = nullptr;
    Label *lbllogqueue = nullptr; // lines waiting for the log folder
    Label *lblremote = nullptr;   // the remote station shown and how it stands; shown with --remote only
    std::array<TextBox *, kDisplayRows> txttx{}, txsignal{}, txtlog{}, txtcount{}, txtzero{};
    QTimer *tmrcomms = nullptr, *tmrpctime = nullptr; // tmrcomms is driven by receiveTick()
    QTimer *tmrreopen = nullptr;                      // retries a lost port once a second

    // Start-up (app/formload.cpp): the console probes ports 10 down to 1;
    // the station opens its one device with `choosePort` instead.
    void Form_Load();
    void Form_Load(const std::function<void()> &choosePort);
    void tmrcomms_Timer();

    // Port and baud rate (comms/portselection.cpp)
    void optcom_Click(int n);
    void optoff_Click();
    void opt4800_Click();
    void opt9600_Click();
    void opt19k2_Click();
    void portLost(const QString &device);
    void tmrreopen_Timer();

    // Display table (reception/tablehandlers.cpp)
    void txttx_Change(int index);
    void txtmask_Click();
    void txtaddfilter_Change();

    // Log folder, base name and the notice under them (logging/logfolder.cpp)
    void txtfilepath_Apply();
    void txtpulsefilename_Apply();
    void showLogNotice();
    // The broker's line in the same notice (uplink/uplink.h), empty for none.
    void setUplinkNotice(const QString &text);

    // Clock tick and snapshots (logging/snapshothandlers.cpp)
    void tmrpctime_Timer();
    void cmdlogscreen_Click();

    // Receiver commands (config/commandhandlers.cpp)
    void cmdprogmode_Click();
    void cmdprogadd_Click();
    void cmdprog8chadd_Click();

    // Sequential address (reception/seqadd.cpp)
    void cmdseqadd_Click();

    // Signal monitor (monitor/openmonitor.cpp)
    void cmdsigmon_Click();

private:
    void buildControls();
    void connectHandlers();
    void setBaud(const QString &settings);
    // The "Off" button's help, with why each port named failed the last probe.
    static QString offToolTip(const QStringList &unusable);

    GlobalDec m_g;
    CommsPort &commsport;
    const Clock &m_clock;
    std::unique_ptr<LogWriter> m_log;
    MessageFeed m_feed;
    Outlet m_outlet;
    ModFunctions m_modFunctions;
    QString m_lostDevice; // the device waiting to come back, by its stable name
    QString m_uplinkNotice;
    ReceiveTick *m_tick = nullptr;
    MonitorOpener m_openMonitor;
};

// The log folder a new run starts with: a folder named logger in the user's
// home on Linux, "c:\\logger\\" on Windows; always ending with its separator.
QString defaultLogFolder();
