#include "app/modfunctions.h"

void ModFunctions::LogDisplayData() {}
