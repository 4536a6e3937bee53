#include "app/modfunctions.h"

void ModFunctions::AddToHistory(int, std::int32_t) {}
void ModFunctions::ScanningMessage() {}
