#pragma once
// Writes log lines to their files, opening, appending and closing the file
// for every line, so each line is complete on disk when the call returns and
// other programs can read the file between lines.
//
// A line (or a file's header) that cannot be written is not lost: it waits,
// in order, in a bounded queue and is written, to the file it was meant for,
// at the next write that succeeds. While anything waits nothing new is
// written ahead of it. Past the bound the oldest waiting lines are dropped
// and counted.
#include <QObject>
#include <QString>

#include <deque>

class QLabel;

class LogWriter : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 10000;

    explicit LogWriter(int capacity = kDefaultCapacity, QObject *parent = nullptr);

    // Makes sure the file exists: a new (or empty) file gets the header line.
    void prepare(const QString &path);
    // Appends one line (CR LF added) to the file; a new file gets the header first.
    void append(const QString &path, const QString &line);
    // Writes what waits, if the file system lets it now. Cheap when nothing waits.
    void retry();

    int pending() const { return int(queue.size()); }   // lines waiting to be written
    qint64 dropped() const { return droppedCount; }      // given up since the queue was last empty
    QString failedPath() const { return blockedPath; }   // the file the first waiting line is for

    // One line for the window, e.g. "12 log lines waiting: cannot write
    // /logs/x.csv, 3 dropped"; empty when nothing waits.
    QString notice() const;
    // Keeps the label showing notice(), hidden while nothing waits.
    void showNoticeIn(QLabel *label);

signals:
    void pendingChanged();

private:
    struct Entry {
        QString path;
        QString line;
        bool headerOnly = false;   // from prepare(): the file must exist, no line
    };

    void enqueue(Entry entry);
    void flush();
    static bool write(const Entry &entry);

    std::deque<Entry> queue;
    int bound;                     // most lines kept waiting
    qint64 droppedCount = 0;
    QString blockedPath;
};
