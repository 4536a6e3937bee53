#pragma once
// What the message log and the display snapshot share before their lines:
// the file name of the day and base name, and the file with its header.
class LogWriter;
class Mainscreen;
struct GlobalDec;

// Builds g.logfilename from the "File Path" and "File Name" boxes and the
// date of the last clock refresh, then makes sure that file exists with its
// header. False, with nothing written, when the base name is empty.
bool prepareLogFile(GlobalDec &g, const Mainscreen &ui, LogWriter &writer);
