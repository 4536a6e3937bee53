// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/mainscreen.h"

#include "app/receivetick.h"
#include "comms/commsport.h"
#include "comms/portmap.h"
#include "logging/logwriter.h"

#include <QTimer>

#include <utility>

Mainscreen::Mainscreen(CommsPort &port, const Clock &clock, QObject *parent)
    : QObject(parent),
      commsport(port),
      m_clock(clock),
      m_log(std::make_unique<LogWriter>()),
      m_outlet(m_feed, port, *m_log),
      m_modFunctions(m_g, *this, port, clock, *m_log, m_feed)
{
    buildControls();

    tmrcomms = new QTimer(this);
    tmrcomms->setObjectName(QStringLiteral("tmrcomms"));
    tmrcomms->setInterval(10);
    tmrcomms->setTimerType(Qt::PreciseTimer);
    m_tick = new ReceiveTick(*tmrcomms, clock, this);
    tmrpctime = new QTimer(this);
    tmrpctime->setObjectName(QStringLiteral("tmrpctime"));
    tmrpctime->setInterval(1000);
    tmrreopen = new QTimer(this);
    tmrreopen->setObjectName(QStringLiteral("tmrreopen"));
    tmrreopen->setInterval(1000);

    connectHandlers();
}

Mainscreen::~Mainscreen() = default;

void Mainscreen::connectHandlers()
{
    connect(tmrcomms, &QTimer::timeout, this, &Mainscreen::tmrcomms_Timer);
    // A loss may leave whole bytes behind for the poll: woken for them too.
    connect(&commsport, &CommsPort::arrived, m_tick, &ReceiveTick::wake);
    connect(&commsport, &CommsPort::lost, m_tick, &ReceiveTick::wake);
    connect(tmrpctime, &QTimer::timeout, this, &Mainscreen::tmrpctime_Timer);
    connect(tmrreopen, &QTimer::timeout, this, &Mainscreen::tmrreopen_Timer);
    // Queued: a loss seen inside a read or write waits for that procedure to
    // end; a port or "Off" chosen meanwhile makes it old news.
    connect(
        &commsport, &CommsPort::lost, this,
        [this](const QString &device) {
            if (!commsport.portOpen() && !optoff->isChecked())
                portLost(device);
        },
        Qt::QueuedConnection);

    for (int n = kFirstPort; n <= kLastPort; ++n)
        connect(optcom[n], &OptionButton::clicked, this, [this, n] { optcom_Click(n); });
    connect(optoff, &OptionButton::clicked, this, &Mainscreen::optoff_Click);
    connect(opt4800, &OptionButton::clicked, this, &Mainscreen::opt4800_Click);
    connect(opt9600, &OptionButton::clicked, this, &Mainscreen::opt9600_Click);
    connect(opt19k2, &OptionButton::clicked, this, &Mainscreen::opt19k2_Click);

    for (int row = 0; row < kDisplayRows; ++row)
        connect(txttx[row], &TextBox::textChanged, this, [this, row] { txttx_Change(row); });
    connect(txtmask, &TextBox::clicked, this, &Mainscreen::txtmask_Click);
    connect(txtaddfilter, &TextBox::textChanged, this, &Mainscreen::txtaddfilter_Change);

    // A folder or base name typed by the user takes effect when its editing
    // ends; a text set by the program (unmodified) at once, as at start.
    for (const auto &boxAndApply : {std::pair{txtfilepath, &Mainscreen::txtfilepath_Apply},
                                    std::pair{txtpulsefilename, &Mainscreen::txtpulsefilename_Apply}}) {
        TextBox *box = boxAndApply.first;
        const auto apply = boxAndApply.second;
        connect(box, &TextBox::editingFinished, this, apply);
        connect(box, &TextBox::textChanged, this, [this, box, apply] {
            if (!box->isModified())
                (this->*apply)();
        });
        (this->*apply)();
    }
    connect(m_log.get(), &LogWriter::pendingChanged, this, &Mainscreen::showLogNotice);

    connect(cmdlogscreen, &CommandButton::clicked, this, &Mainscreen::cmdlogscreen_Click);
    connect(cmdprogmode, &CommandButton::clicked, this, &Mainscreen::cmdprogmode_Click);
    connect(cmdprogadd, &CommandButton::clicked, this, &Mainscreen::cmdprogadd_Click);
    connect(cmdprog8chadd, &CommandButton::clicked, this, &Mainscreen::cmdprog8chadd_Click);
    connect(cmdseqadd, &CommandButton::clicked, this, &Mainscreen::cmdseqadd_Click);
    connect(cmdsigmon, &CommandButton::clicked, this, &Mainscreen::cmdsigmon_Click);
}

void Mainscreen::tmrcomms_Timer()
{
    m_modFunctions.ReadComms();
    // A tick called by hand (the timer stopped) leaves the timer alone.
    if (tmrcomms->isActive())
        m_tick->ticked(commsport.inBufferCount() == 0);
}
