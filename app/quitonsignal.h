#pragma once
// SIGINT and SIGTERM end the event loop the ordinary way, so the port is
// closed before the process ends (a killed process leaves the device in
// exclusive mode).
void quitApplicationOnSignals();
