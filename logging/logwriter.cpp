#include "logging/logwriter.h"

#include "logging/csv.h"

#include <QFile>
#include <QLabel>

#include <algorithm>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

} // namespace

LogWriter::LogWriter(int capacity, QObject *parent)
    : QObject(parent), bound(std::max(1, capacity))
{
}

void LogWriter::prepare(const QString &path)
{
    enqueue({path, QString(), true});
}

void LogWriter::append(const QString &path, const QString &line)
{
    enqueue({path, line, false});
}

// Every write goes through the queue, so a line can never overtake one that
// waits; with nothing waiting it is written at once. A waiting line brings
// its file's header with it, so a header-only entry next to a line for the
// same file adds nothing and is not kept: the queue counts real lines.
void LogWriter::enqueue(Entry entry)
{
    const QString before = notice();
    const bool sameFileWaits = !queue.empty() && queue.back().path == entry.path;
    if (!(sameFileWaits && entry.headerOnly)) {
        if (sameFileWaits && queue.back().headerOnly)
            queue.pop_back();
        queue.push_back(std::move(entry));
    }
    if (int(queue.size()) > bound) {
        queue.pop_front();
        ++droppedCount;
    }
    flush();
    if (notice() != before)
        emit pendingChanged();
}

void LogWriter::retry()
{
    if (queue.empty())
        return;
    const QString before = notice();
    flush();
    if (notice() != before)
        emit pendingChanged();
}

void LogWriter::flush()
{
    while (!queue.empty()) {
        if (!write(queue.front())) {
            blockedPath = queue.front().path;
            return;
        }
        queue.pop_front();
    }
    blockedPath.clear();
    droppedCount = 0;
}

// One open, one write, one close. A file that is new, or was left empty by
// an earlier failed attempt, starts with the header. A write that fails
// part-way is cut back, so a retry never leaves half a line in the file.
bool LogWriter::write(const Entry &entry)
{
    QFile file(entry.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const qint64 sizeBefore = file.size();
    QByteArray bytes;
    if (sizeBefore == 0)
        bytes = QByteArray(kLogHeader) + kLineEnd;
    if (!entry.headerOnly)
        bytes += entry.line.toUtf8() + kLineEnd;
    if (bytes.isEmpty() || file.write(bytes) == bytes.size())
        return true;
    file.resize(sizeBefore);
    return false;
}

QString LogWriter::notice() const
{
    if (queue.empty())
        return QString();
    QString text = QStringLiteral("%1 log %2 waiting: cannot write %3")
                       .arg(QString::number(pending()), pending() == 1 ? QStringLiteral("line") : QStringLiteral("lines"),
                            blockedPath);
    if (droppedCount > 0)
        text += QStringLiteral(", %1 dropped").arg(droppedCount);
    return text;
}

void LogWriter::showNoticeIn(QLabel *label)
{
    const auto show = [this, label] {
        label->setText(notice());
        label->setVisible(pending() > 0);
    };
    connect(this, &LogWriter::pendingChanged, label, show);
    show();
}
