#include "app/mainscreen.h"

void Mainscreen::cmdsigmon_Click() {}
