#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the event loop the ordinary way, so
// the port is closed before the process ends (a killed process leaves the
// device in exclusive mode and its lock file behind). SIGHUP is what closing
// the terminal or the ssh session that started the console sends; a console
// started with SIGHUP ignored (nohup) keeps ignoring it.
class QTimer;

// The signal is only noted; `tick`, a timer that runs for as long as the
// console does, looks at the note each time it fires, and the quit follows
// within one tick. Waiting for a signal so adds nothing to what the event
// loop watches, and the console's clock second is a short enough wait.
void quitApplicationOnSignals(const QTimer *tick);
