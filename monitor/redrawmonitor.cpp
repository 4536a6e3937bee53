// Copies the signal history into the monitor window, row i from entry i.
#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "app/widgetlook.h"
#include "monitor/barwidth.h"
#include "monitor/chartparts.h"
#include "monitor/frmmonitor.h"

void ModFunctions::RedrawMonitor()
{
    if (m_g.monfreeze)
        return;
    Frmmonitor *form = m_g.monform;
    if (!form)
        return; // no window to draw into
    for (int i = 0; i < kMonitorRows; ++i) {
        form->sig_lvl[i]->setText(QString::number(m_g.sighist[i]));
        form->txtadd[i]->setText(QString::number(m_g.txhist[i]));
        m_g.barwidth = barWidthForLevel(m_g.sighist[i]);
        ChartBar *bar = form->sigbar[i];
        bar->resize(twipsToPixels(form, m_g.barwidth), bar->height());
    }
}
