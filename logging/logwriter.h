// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Writes log lines to their files, opening, appending and closing the file
// for every write, so each line is complete on disk when the call returns
// (or, inside a Batch, when the batch ends) and other programs can read the
// file between lines.
//
// A line (or a file's header) that cannot be written is not lost: it waits,
// in order with the other lines of its file, and is written at that file's
// next write that succeeds. Each file waits on its own: a refused file holds
// back only its own lines. Past the bound, over all files together, the
// oldest waiting line is dropped and counted.
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

class Label;

class LogWriter : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 10000;

    // The lines of one file that could not be written.
    struct WaitingFile {
        QString path;
        QStringList lines; // without line ends, oldest first
        QString refusal;   // why the file was refused, if it was (see LogFileAppend)
    };

    explicit LogWriter(int capacity = kDefaultCapacity, QObject *parent = nullptr);

    // While a Batch lives, writes wait; when the last one ends, each file
    // written to is opened once for all of them: a procedure that prepares
    // a file and appends to it costs one open, and a snapshot's lines go in
    // one write.
    class Batch {
    public:
        explicit Batch(LogWriter &writer) : m_writer(writer) { m_writer.hold(); }
        ~Batch() { m_writer.release(); }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        LogWriter &m_writer;
    };

    // Makes sure the file exists: a new (or empty) file gets the header line.
    void prepare(const QString &path);
    // Appends one line (CR LF added) to the file; a new file gets the header first.
    void append(const QString &path, const QString &line);
    // Writes what waits, file by file, where the file system lets it now.
    // Cheap when nothing waits.
    void retry();

    int pending() const { return m_waitingCount; }    // lines waiting, over all files
    qint64 dropped() const { return m_droppedCount; } // given up since nothing last waited
    QString failedPath() const;                       // the file of the oldest waiting line

    // One line for the window, e.g. "12 log lines waiting: cannot write
    // /logs/x.csv (a symbolic link); /logs/y.csv, 3 dropped"; empty when
    // nothing waits.
    QString notice() const;
    // Keeps the label showing notice(), hidden while nothing waits.
    void showNoticeIn(Label *label);

    // Hands over every waiting line, by file, and leaves nothing waiting.
    // A file that waits only for its header hands over no lines.
    std::vector<WaitingFile> takeWaiting();

signals:
    void pendingChanged();

private:
    struct Entry {
        quint64 order; // across all files, for dropping the oldest
        QString line;
        bool headerOnly; // from prepare(): the file must exist, no line
    };
    struct FileQueue {
        QString path;
        std::deque<Entry> entries;
        QString refusal;
        bool failing = false; // the last write to the file failed
        bool held = false;    // written to while a Batch lives
    };

    void enqueue(const QString &path, const QString &line, bool headerOnly);
    void hold();
    void release();
    void flush(FileQueue &file);
    void dropOldest();
    void forgetWritten();

    std::vector<FileQueue> m_files; // only files with waiting lines, by first refusal
    int m_waitingCount = 0;
    int m_bound; // most lines kept waiting
    quint64 m_nextOrder = 0;
    qint64 m_droppedCount = 0;
    int m_batches = 0;          // Batches alive
    QString m_noticeBeforeHold; // what the window showed when the first began
};
