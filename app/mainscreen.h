#pragma once
// The main window: every control but the signal monitor's, built from the
// layout tables in mainscreen_layout.cpp. Its handlers are defined beside
// the subsystem each belongs to; the window itself only builds and forwards.
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "app/outlet.h"
#include "comms/portmap.h"
#include "reception/messagefeed.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class CommsPort;
class Clock;
class LogWriter;
class ReceiveTick;

class Mainscreen : public QWidget {
    Q_OBJECT
public:
    Mainscreen(CommsPort &commsport, const Clock &clock, QWidget *parent = nullptr);
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

    // Twips (1/1440 inch) to pixels at the screen's logical DPI.
    int twips(int value) const;

    // Controls, by the names the procedures use.
    QGroupBox *frmcomms = nullptr, *frmbaud = nullptr, *frmhalvernmode = nullptr;
    QRadioButton *optoff = nullptr;
    std::array<QRadioButton *, kLastPort + 1> optcom{}; // kFirstPort..kLastPort
    QRadioButton *opt4800 = nullptr, *opt9600 = nullptr, *opt19k2 = nullptr;
    QPushButton *cmdseqadd = nullptr, *cmdlogscreen = nullptr, *cmdsigmon = nullptr;
    QPushButton *cmdprogadd = nullptr, *cmdprog8chadd = nullptr, *cmdprogmode = nullptr;
    QCheckBox *chklogen = nullptr;
    QRadioButton *opt15min = nullptr, *optall = nullptr, *opttxonly = nullptr;
    QLineEdit *txtfilepath = nullptr, *txtpulsefilename = nullptr, *txtmode = nullptr;
    std::array<QLineEdit *, 9> txtadd{}; // 1..8
    QLineEdit *txtmask = nullptr, *txtaddfilter = nullptr, *txtinstring = nullptr;
    QLabel *lbllogqueue = nullptr; // lines waiting for the log folder
    std::array<QLineEdit *, kDisplayRows> txttx{}, txsignal{}, txtlog{}, txtcount{}, txtzero{};
    QTimer *tmrcomms = nullptr, *tmrpctime = nullptr; // tmrcomms is driven by receiveTick()
    QTimer *tmrreopen = nullptr;                      // retries a lost port once a second

    // Start-up (app/formload.cpp)
    void Form_Load();
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void setTabChain();
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
};
