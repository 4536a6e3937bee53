#include "app/modfunctions.h"

void ModFunctions::RedrawMonitor() {}
