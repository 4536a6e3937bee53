// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The JSON stream's writer on a real pipe: a reader that stops reading never
// holds up the writer, and gets the newest lines in order once it reads
// again; a reader that goes away ends the stream, nothing more.
#include "station/linestream.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

class TestLineStream : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }

    void stalledReaderLosesOnlyTheOldestAndNeverBlocks()
    {
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        LineStream stream(ends[1]);
        const int total = 2 * int(LineStream::kLinesWaiting);
        for (int i = 0; i < total; ++i)
            stream.writeLine(QByteArray::number(i).rightJustified(60, '.'));
        QVERIFY(stream.dropped() > 0);
        QCOMPARE(stream.waiting(), LineStream::kLinesWaiting);

        // The reader catches up: what reaches it is in order and ends with the newest.
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
        QByteArray received;
        char buffer[65536];
        QTRY_VERIFY((received += QByteArray(buffer, std::max<ssize_t>(0, ::read(ends[0], buffer, sizeof buffer))))
                        .endsWith(QByteArray::number(total - 1) + '\n'));
        const QList<QByteArray> lines = received.trimmed().split('\n');
        QCOMPARE(lines.size(), total - stream.dropped());
        int previous = -1;
        for (const QByteArray &line : lines) {
            const int number = line.mid(line.lastIndexOf('.') + 1).toInt();
            QVERIFY2(number > previous, line.constData());
            previous = number;
        }
        ::close(ends[0]);
        ::close(ends[1]);
    }

    void readerGoneEndsTheStream()
    {
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        LineStream stream(ends[1]);
        QSignalSpy ended(&stream, &LineStream::ended);
        ::close(ends[0]);
        stream.writeLine("{}");
        QCOMPARE(ended.size(), 1);
        QVERIFY(ended.first().first().toString().contains(QLatin1String("pipe"), Qt::CaseInsensitive));
        stream.writeLine("{}"); // once ended, quietly nothing
        QCOMPARE(ended.size(), 1);
        ::close(ends[1]);
    }
};

QTEST_GUILESS_MAIN(TestLineStream)
#include "tst_linestream.moc"
