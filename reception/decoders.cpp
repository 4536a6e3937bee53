#include "app/modfunctions.h"

void ModFunctions::DecodeMessage(TxType) {}
