#include "app/modfunctions.h"

void ModFunctions::CalcCRC() {}
void ModFunctions::SendCommand() {}
