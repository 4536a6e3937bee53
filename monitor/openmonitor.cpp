// "Signal Monitor": the one monitor window, created on first use (and again
// after "Main Menu" unloaded it), shown modally. The modal loop keeps
// handling events, so the main window's timers go on receiving and the
// chart keeps moving while it is shown.
#include "app/mainscreen.h"
#include "monitor/frmmonitor.h"

void Mainscreen::cmdsigmon_Click()
{
    if (!g.monform) {
        g.monform = new Frmmonitor(g, modFunctions, this);
        g.monform->Form_Load();
    }
    g.monform->exec();
}
