#include "app/mainscreen.h"

void Mainscreen::txttx_Change(int) {}
void Mainscreen::txtmask_Click() {}
void Mainscreen::txtaddfilter_Change() {}
