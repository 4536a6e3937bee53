#include "app/mainscreen.h"

void Mainscreen::cmdseqadd_Click() {}
