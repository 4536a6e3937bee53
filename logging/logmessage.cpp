#include "app/modfunctions.h"

bool ModFunctions::LogFolderUsable() const { return false; }
void ModFunctions::LogMessage() {}
