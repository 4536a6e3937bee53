#include "app/modfunctions.h"

void ModFunctions::UpdateDisplayRows() {}
