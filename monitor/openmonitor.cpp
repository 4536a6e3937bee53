// "Signal Monitor": the one monitor window, created on first use (and again
// after "Main Menu" unloaded it), shown modally. The modal loop keeps
// handling events, so the main window's timers go on receiving and the
// chart keeps moving while it is shown.
#include "app/mainscreen.h"
#include "monitor/frmmonitor.h"

void Mainscreen::cmdsigmon_Click()
{
    if (!m_g.monform) {
        m_g.monform = new Frmmonitor(m_g, m_modFunctions, this);
        m_g.monform->Form_Load();
    }
    m_g.monform->exec();
}
