#include "app/clock.h"
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "app/widgetlook.h"

#include <QLineEdit>

// One reading of the clock gives every date and time text; the clock box
// shows the time with two digits each.
void ModFunctions::UpdateClock()
{
    const QDateTime now = clock.now();
    const QTime time = now.time();
    const QDate date = now.date();
    g.timestr = time.toString(QStringLiteral("HH:mm:ss"));
    g.hourstr = QString::number(time.hour());
    g.minstr = QString::number(time.minute());
    g.secstr = QString::number(time.second());
    g.daystr = QString::number(date.day());
    g.monthstr = QString::number(date.month());
    g.yearstr = QString::number(date.year());
    showText(ui.txtmask, g.timestr);
}
