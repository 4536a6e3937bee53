#include "logging/logwriter.h"

void LogWriter::prepare(const QString &) {}
void LogWriter::append(const QString &, const QString &) {}
int LogWriter::pending() const { return 0; }
qint64 LogWriter::dropped() const { return 0; }
