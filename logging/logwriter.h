#pragma once
// Writes log lines to their files, opening, appending and closing the file
// for every line. A line that cannot be written is kept, in order, and
// written before any later line once the file system lets it.
#include <QObject>
#include <QString>

class LogWriter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Makes sure the file exists, created with the header line when new.
    void prepare(const QString &path);
    // Appends one line (CR LF added) to the file.
    void append(const QString &path, const QString &line);

    int pending() const;          // lines waiting to be written
    qint64 dropped() const;       // lines given up past the bound

signals:
    void pendingChanged();
};
