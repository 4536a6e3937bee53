#include "app/mainscreen.h"

#include "app/receivetick.h"
#include "app/widgetlook.h"
#include "comms/commsport.h"
#include "comms/portmap.h"
#include "logging/logwriter.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <utility>

Mainscreen::Mainscreen(CommsPort &port, const Clock &clock, QWidget *parent)
    : QWidget(parent),
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

int Mainscreen::twips(int value) const
{
    return twipsToPixels(this, value);
}

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
        connect(optcom[n], &QRadioButton::clicked, this, [this, n] { optcom_Click(n); });
    connect(optoff, &QRadioButton::clicked, this, &Mainscreen::optoff_Click);
    connect(opt4800, &QRadioButton::clicked, this, &Mainscreen::opt4800_Click);
    connect(opt9600, &QRadioButton::clicked, this, &Mainscreen::opt9600_Click);
    connect(opt19k2, &QRadioButton::clicked, this, &Mainscreen::opt19k2_Click);

    for (int row = 0; row < kDisplayRows; ++row)
        connect(txttx[row], &QLineEdit::textChanged, this, [this, row] { txttx_Change(row); });
    txtmask->installEventFilter(this);
    connect(txtaddfilter, &QLineEdit::textChanged, this, &Mainscreen::txtaddfilter_Change);

    // A folder or base name typed by the user takes effect when its editing
    // ends; a text set by the program (unmodified) at once, as at start.
    for (const auto &boxAndApply : {std::pair{txtfilepath, &Mainscreen::txtfilepath_Apply},
                                    std::pair{txtpulsefilename, &Mainscreen::txtpulsefilename_Apply}}) {
        QLineEdit *box = boxAndApply.first;
        const auto apply = boxAndApply.second;
        connect(box, &QLineEdit::editingFinished, this, apply);
        connect(box, &QLineEdit::textChanged, this, [this, box, apply] {
            if (!box->isModified())
                (this->*apply)();
        });
        (this->*apply)();
    }
    connect(m_log.get(), &LogWriter::pendingChanged, this, &Mainscreen::showLogNotice);

    connect(cmdlogscreen, &QPushButton::clicked, this, &Mainscreen::cmdlogscreen_Click);
    connect(cmdprogmode, &QPushButton::clicked, this, &Mainscreen::cmdprogmode_Click);
    connect(cmdprogadd, &QPushButton::clicked, this, &Mainscreen::cmdprogadd_Click);
    connect(cmdprog8chadd, &QPushButton::clicked, this, &Mainscreen::cmdprog8chadd_Click);
    connect(cmdseqadd, &QPushButton::clicked, this, &Mainscreen::cmdseqadd_Click);
    connect(cmdsigmon, &QPushButton::clicked, this, &Mainscreen::cmdsigmon_Click);
}

bool Mainscreen::eventFilter(QObject *watched, QEvent *event)
{
    // The clock box has no click signal of its own.
    if (watched == txtmask && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        txtmask_Click();
    return QWidget::eventFilter(watched, event);
}

void Mainscreen::closeEvent(QCloseEvent *event)
{
    // A port left open keeps its exclusive-access flag after the process ends.
    if (commsport.portOpen())
        commsport.setPortOpen(false);
    QWidget::closeEvent(event);
}

void Mainscreen::tmrcomms_Timer()
{
    m_modFunctions.ReadComms();
    // A tick called by hand (the timer stopped) leaves the timer alone.
    if (tmrcomms->isActive())
        m_tick->ticked(commsport.inBufferCount() == 0);
}
