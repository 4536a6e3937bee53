// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "logging/logwriter.h"

#include "app/controls.h"
#include "app/logcategories.h"
#include "logging/logfileopen.h"

#include <algorithm>
#include <utility>

namespace {

// More refused files than this are counted in the notice, not named.
constexpr int kFilesNamed = 3;

} // namespace

LogWriter::LogWriter(int capacity, QObject *parent) : QObject(parent), m_bound(std::max(1, capacity)) {}

void LogWriter::prepare(const QString &path)
{
    enqueue(path, QString(), true);
}

void LogWriter::append(const QString &path, const QString &line)
{
    enqueue(path, line, false);
}

// Every write goes through the file's queue, so a line never overtakes one
// of its own file that waits; with nothing waiting there it is written at
// once. A waiting line brings its file's header with it, so a header-only
// entry next to a line adds nothing and is not kept: the queue counts real
// lines.
void LogWriter::enqueue(const QString &path, const QString &line, bool headerOnly)
{
    const QString before = m_batches > 0 ? QString() : notice();
    auto file = std::find_if(m_files.begin(), m_files.end(), [&](const FileQueue &f) { return f.path == path; });
    if (file == m_files.end()) {
        m_files.push_back({path, {}, QString(), false});
        file = m_files.end() - 1;
    }
    auto &entries = file->entries;
    if (!(headerOnly && !entries.empty())) {
        if (!entries.empty() && entries.back().headerOnly) {
            entries.pop_back();
            --m_waitingCount;
        }
        entries.push_back({m_nextOrder++, line, headerOnly});
        ++m_waitingCount;
    }
    if (m_batches > 0) {
        file->held = true;
        return;
    }
    flush(*file);
    while (m_waitingCount > m_bound)
        dropOldest();
    forgetWritten();
    if (notice() != before)
        emit pendingChanged();
}

void LogWriter::hold()
{
    if (m_batches++ == 0)
        m_noticeBeforeHold = notice();
}

void LogWriter::release()
{
    if (--m_batches > 0)
        return;
    for (FileQueue &file : m_files) {
        if (std::exchange(file.held, false))
            flush(file);
    }
    while (m_waitingCount > m_bound)
        dropOldest();
    forgetWritten();
    if (notice() != m_noticeBeforeHold)
        emit pendingChanged();
}

void LogWriter::retry()
{
    if (m_files.empty())
        return;
    const QString before = notice();
    for (FileQueue &file : m_files)
        flush(file);
    forgetWritten();
    if (notice() != before)
        emit pendingChanged();
}

// All that waits for the file goes in one write, so it is all there or none.
// The lines are gathered only once the file is open: a refused file costs
// one open per attempt however much waits for it.
void LogWriter::flush(FileQueue &file)
{
    if (file.entries.empty())
        return;
    LogFileAppend out(file.path);
    file.refusal = out.refusal();
    QByteArray bytes;
    if (out.isOpen()) {
        for (const Entry &entry : file.entries) {
            if (!entry.headerOnly)
                bytes += logLineBytes(entry.line);
        }
    }
    if (!out.isOpen() || !out.write(bytes)) {
        // Told once per spell of failures, not at every retry.
        if (!file.failing)
            qCDebug(lcLogging).noquote() << QStringLiteral("cannot %1 %2%3: its lines wait")
                                                .arg(out.isOpen() ? QStringLiteral("write") : QStringLiteral("open"),
                                                     file.path,
                                                     file.refusal.isEmpty()
                                                         ? QString()
                                                         : QStringLiteral(" (%1)").arg(file.refusal));
        file.failing = true;
        return;
    }
    if (file.failing)
        qCDebug(lcLogging).noquote()
            << QStringLiteral("wrote %1 waiting lines to %2").arg(file.entries.size()).arg(file.path);
    m_waitingCount -= int(file.entries.size());
    file.entries.clear();
}

void LogWriter::dropOldest()
{
    const auto oldest = std::min_element(m_files.begin(), m_files.end(), [](const FileQueue &a, const FileQueue &b) {
        if (a.entries.empty() || b.entries.empty())
            return !a.entries.empty();
        return a.entries.front().order < b.entries.front().order;
    });
    if (oldest == m_files.end() || oldest->entries.empty())
        return;
    qCDebug(lcLogging).noquote() << QStringLiteral("dropped the oldest waiting line of %1").arg(oldest->path);
    oldest->entries.pop_front();
    --m_waitingCount;
    ++m_droppedCount;
}

void LogWriter::forgetWritten()
{
    std::erase_if(m_files, [](const FileQueue &f) { return f.entries.empty(); });
    if (m_files.empty())
        m_droppedCount = 0;
}

QString LogWriter::failedPath() const
{
    const auto oldest = std::min_element(m_files.begin(), m_files.end(), [](const FileQueue &a, const FileQueue &b) {
        return a.entries.front().order < b.entries.front().order;
    });
    return oldest == m_files.end() ? QString() : oldest->path;
}

QString LogWriter::notice() const
{
    if (m_files.empty())
        return QString();
    QStringList named;
    for (const FileQueue &file : m_files) {
        if (named.size() == kFilesNamed) {
            named.append(QStringLiteral("%1 more files").arg(m_files.size() - kFilesNamed));
            break;
        }
        named.append(file.refusal.isEmpty() ? file.path : QStringLiteral("%1 (%2)").arg(file.path, file.refusal));
    }
    QString text =
        QStringLiteral("%1 log %2 waiting: cannot write %3")
            .arg(QString::number(pending()), pending() == 1 ? QStringLiteral("line") : QStringLiteral("lines"),
                 named.join(QStringLiteral("; ")));
    if (m_droppedCount > 0)
        text += QStringLiteral(", %1 dropped").arg(m_droppedCount);
    return text;
}

void LogWriter::showNoticeIn(Label *label)
{
    const auto show = [this, label] {
        label->setText(notice());
        label->setVisible(pending() > 0);
    };
    connect(this, &LogWriter::pendingChanged, label, show);
    show();
}

std::vector<LogWriter::WaitingFile> LogWriter::takeWaiting()
{
    std::vector<WaitingFile> waiting;
    for (const FileQueue &file : m_files) {
        WaitingFile out{file.path, {}, file.refusal};
        for (const Entry &entry : file.entries) {
            if (!entry.headerOnly)
                out.lines.append(entry.line);
        }
        waiting.push_back(std::move(out));
    }
    const bool changed = !m_files.empty();
    m_files.clear();
    m_waitingCount = 0;
    m_droppedCount = 0;
    if (changed)
        emit pendingChanged();
    return waiting;
}
