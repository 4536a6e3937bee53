#include "app/mainscreen.h"

void Mainscreen::cmdprogmode_Click() {}
void Mainscreen::cmdprogadd_Click() {}
void Mainscreen::cmdprog8chadd_Click() {}
