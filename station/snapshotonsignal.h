#pragma once
// SIGUSR1 takes a snapshot of the table at once, as "Log Display data" does.
// Like the quit signals, the signal is only noted; `tick` (the 10 ms receive
// timer) looks at the note, so nothing is added to what the event loop watches.
#include <functional>

class QTimer;

void snapshotOnSignal(const QTimer *tick, std::function<void()> takeSnapshot);
