#include "app/mainscreen.h"

void Mainscreen::tmrpctime_Timer() { modFunctions.UpdateClock(); }
void Mainscreen::cmdlogscreen_Click() {}
