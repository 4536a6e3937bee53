// The signal history: the last kHistoryLength signal readings with their
// transmitter numbers, entry kHistoryNewest the newest. Fed by telemetry rows
// and scanning messages.
#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "reception/signalhistory.h"

void ModFunctions::AddToHistory(int level, std::int32_t txnumber)
{
    for (g.histidx = 0; g.histidx < kHistoryNewest; ++g.histidx) {
        g.sighist[g.histidx] = g.sighist[g.histidx + 1];
        g.txhist[g.histidx] = g.txhist[g.histidx + 1];
    }
    g.sighist[kHistoryNewest] = level;
    g.txhist[kHistoryNewest] = txnumber;
}

// "S", level: a bare signal reading from the receiver, no transmitter, no CRC.
// The level byte is kept as it came, unscaled.
void ModFunctions::ScanningMessage()
{
    AddToHistory(g.rxbytes[2], 0);
    RedrawMonitor();
}
