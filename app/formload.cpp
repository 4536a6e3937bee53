#include "app/mainscreen.h"

#include "app/numbers.h"
#include "app/receivetick.h"
#include "comms/portmap.h"
#include "monitor/frmmonitor.h"

#include <QTimer>

// Start-up, in this order: no monitor yet and frozen, the clock once, the
// current minute remembered for the quarter-hour snapshot, the port probe
// 10 down to 1, then "Off", which probes again and leaves no port open.
// The timers start last.
void Mainscreen::Form_Load()
{
    m_g.monform = nullptr;
    m_g.monfreeze = true;
    m_modFunctions.UpdateClock();
    m_g.lastlogmin = int(leadingNumber(m_g.minstr));
    for (int n = kLastPort; n >= kFirstPort; --n)
        optcom_Click(n);
    optoff_Click();
    m_tick->start();
    tmrpctime->start();
}
