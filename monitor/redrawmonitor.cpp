// Copies the signal history into the monitor window, row i from entry i.
#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "app/widgetlook.h"
#include "monitor/barwidth.h"
#include "monitor/chartparts.h"
#include "monitor/frmmonitor.h"


void ModFunctions::RedrawMonitor()
{
    if (g.monfreeze)
        return;
    Frmmonitor *form = g.monform;
    if (!form)
        return;   // no window to draw into
    for (int i = 0; i < kMonitorRows; ++i) {
        form->sig_lvl[i]->setText(QString::number(g.sighist[i]));
        form->txtadd[i]->setText(QString::number(g.txhist[i]));
        g.barwidth = barWidthForLevel(g.sighist[i]);
        ChartBar *bar = form->sigbar[i];
        bar->resize(twipsToPixels(form, g.barwidth), bar->height());
    }
}
