// The file of messages saved for a broker, on real files: what is written is
// read back byte for byte, a damaged file is refused, kept and never written
// over; and saved messages go ahead of the queue within its bound.
#include "mqtt/savedmessages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

OutgoingMessage message(const QByteArray &topic, const QByteArray &payload, int qos = 1, bool retain = false)
{
    OutgoingMessage m;
    m.topic = topic;
    m.payload = payload;
    m.qos = qos;
    m.retain = retain;
    return m;
}

QByteArray everyByte()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

QList<QByteArray> payloads(const std::vector<OutgoingMessage> &messages)
{
    QList<QByteArray> list;
    for (const OutgoingMessage &m : messages)
        list.append(m.payload);
    return list;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::vector<OutgoingMessage> kTwo = {message("halvern/s/tx/1", everyByte(), 1, true),
                                           message("halvern/s/raw", QByteArray(), 0, false)};

} // namespace

class TestSavedMessages : public QObject {
    Q_OBJECT
private slots:
    void readsBackByteForByte()
    {
        const std::vector<OutgoingMessage> sent = {kTwo[0], kTwo[1],
                                                   message("h/\xC3\xA9t\xC3\xA9", QByteArray("\0\r\n", 3), 1, false)};
        QString why;
        const auto read = parseSavedMessages(savedMessagesBytes(sent), &why);
        QVERIFY2(read, qPrintable(why));
        QCOMPARE(read->size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            QCOMPARE((*read)[i].topic, sent[i].topic);
            QCOMPARE((*read)[i].payload, sent[i].payload);
            QCOMPARE((*read)[i].qos, sent[i].qos);
            QCOMPARE((*read)[i].retain, sent[i].retain);
        }
    }

    void refusesDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = savedMessagesBytes(kTwo);
        QByteArray version2 = good;
        version2[11] = 2;
        QByteArray qos2 = good;
        qos2[16] = 2;
        QByteArray retain2 = good;
        retain2[17] = 2;
        QByteArray tooMany = good;
        tooMany[15] = 3;
        QTest::newRow("garbage") << QByteArray("Tx Number,S-Level\r\n") << "not a file of saved MQTT messages";
        QTest::newRow("empty") << QByteArray() << "not a file";
        QTest::newRow("another version") << version2 << "version 2, this program reads version 1";
        QTest::newRow("QoS 2") << qos2 << "message 1 of 2 is damaged";
        QTest::newRow("retain 2") << retain2 << "message 1 of 2 is damaged";
        QTest::newRow("more counted than held") << tooMany << "cut short in message 3 of 3";
        QTest::newRow("a byte after the end") << good + 'x' << "1 bytes after the last message";
        QTest::newRow("empty topic") << savedMessagesBytes({message("", "x")}) << "message 1 of 1 is damaged";
        QTest::newRow("cut in the header") << good.left(14) << "cut short";
        QTest::newRow("cut in a payload") << good.chopped(1) << "cut short in message 2 of 2";
    }
    void refusesDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QString said;
        QVERIFY(!parseSavedMessages(bytes, &said));
        QVERIFY2(said.startsWith(why), qPrintable(said));
    }

    void refusesEveryCut()
    {
        const QByteArray good = savedMessagesBytes(kTwo);
        QString why;
        for (qsizetype size = 0; size < good.size(); ++size)
            QVERIFY2(!parseSavedMessages(good.left(size), &why), qPrintable(QString::number(size)));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("station");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("stem");
        QTest::newRow("plain") << "site1"
                               << "broker.local" << 1883 << "site1@broker.local_1883";
        QTest::newRow("slash, space") << "pump house/1"
                                      << "10.0.0.1" << 8883 << "pump%20house%2F1@10.0.0.1_8883";
        QTest::newRow("ipv6") << "s"
                              << "::1" << 1 << "s@%3A%3A1_1";
        QTest::newRow("separators written out") << "a@b_c"
                                                << "h_x" << 2 << "a%40b%5Fc@h%5Fx_2";
        QTest::newRow("not ascii") << "\u00e9"
                                   << "h" << 3 << "%C3%A9@h_3";
    }
    void fileNames()
    {
        QFETCH(QString, station);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, stem);
        QCOMPARE(savedMessagesStem(station, host, quint16(port)), stem);
    }

    void longNamesStayApart()
    {
        const QString a = savedMessagesStem(QString(300, u'a') + u'1', QStringLiteral("h"), 1883);
        const QString b = savedMessagesStem(QString(300, u'a') + u'2', QStringLiteral("h"), 1883);
        QVERIFY(a.size() <= 200);
        QVERIFY(a != b);
    }

    void savedLoadedRewrittenRemoved()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("state/halvern"));
        const QString path = folder + QStringLiteral("/s@h_1883.mqtt");
        SavedMessages first(folder, QStringLiteral("s"), QStringLiteral("h"), 1883);
        QStringList report;
        QVERIFY(first.load(&report).empty());
        QCOMPARE(first.save({}), QString()); // nothing waits: no file, no line
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(first.save(kTwo), u"2 messages the broker has not acknowledged saved in "_qs + path
                                       + u", to go first at the next start"_qs);
        QCOMPARE(QFileInfo(folder).permissions() & QFile::ReadOther, QFile::Permissions());

        SavedMessages second(folder, QStringLiteral("s"), QStringLiteral("h"), 1883);
        QCOMPARE(payloads(second.load(&report)), payloads(kTwo));
        QVERIFY(report.isEmpty());
        second.save({kTwo[1]}); // what is still unacknowledged replaces it
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("s@h_1883.mqtt")});
        QString why;
        QCOMPARE(payloads(parseSavedMessages(contents(path), &why).value()), QList<QByteArray>{QByteArray()});
        second.delivered();
        QVERIFY(!QFileInfo::exists(path));
    }

    void unreadableFileKeptAndNamed()
    {
        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("s@h_1883.mqtt"));
        const QString next = dir.filePath(QStringLiteral("s@h_1883.2.mqtt"));
        write(kept, QByteArray("HALVMQTT\0\0\0\x07", 12));
        SavedMessages first(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1883);
        QStringList report;
        QVERIFY(first.load(&report).empty());
        QCOMPARE(report,
                 QStringList{u"cannot read "_qs + kept + u" (version 7, this program reads version 1); kept"_qs});
        QVERIFY(first.save(kTwo).contains(next));

        SavedMessages second(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1883);
        report.clear();
        QCOMPARE(payloads(second.load(&report)), payloads(kTwo));
        QCOMPARE(report.size(), 1); // named again, each start
        second.save({});
        QVERIFY(!QFileInfo::exists(next));
        QCOMPARE(contents(kept), QByteArray("HALVMQTT\0\0\0\x07", 12)); // as it was
    }

    void filesReadOldestFirst()
    {
        QTemporaryDir dir;
        write(dir.filePath(QStringLiteral("s@h_1.10.mqtt")), savedMessagesBytes({message("t", "third")}));
        write(dir.filePath(QStringLiteral("s@h_1.2.mqtt")), savedMessagesBytes({message("t", "second")}));
        write(dir.filePath(QStringLiteral("s@h_1.mqtt")), savedMessagesBytes({message("t", "first")}));
        write(dir.filePath(QStringLiteral("s@h_10.mqtt")), savedMessagesBytes({message("t", "another port")}));
        SavedMessages saved(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
        QStringList report;
        QCOMPARE(payloads(saved.load(&report)), QList<QByteArray>({"first", "second", "third"}));
        saved.save({message("t", "left")}); // into the first, the others go
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({QStringLiteral("s@h_1.mqtt"), QStringLiteral("s@h_10.mqtt")}));
    }

    void saveFailureSaysSo()
    {
        QTemporaryDir dir;
        write(dir.filePath(QStringLiteral("file")), "x");
        SavedMessages saved(dir.filePath(QStringLiteral("file/halvern")), QStringLiteral("s"), QStringLiteral("h"), 1);
        const QString line = saved.save(kTwo);
        QVERIFY2(line.startsWith(u"2 messages the broker has not acknowledged could not be saved in "_qs)
                     && line.endsWith(u"; they are lost"_qs),
                 qPrintable(line));
    }

    void preloadedGoFirstWithinTheBound()
    {
        PublishQueue queue;
        queue.setLimit(3);
        queue.push(message("t", "live 1"));
        queue.push(message("t", "live 2"));
        queue.preload({message("t", "saved 1"), message("t", "saved 2")});
        QCOMPARE(queue.dropped(), qint64(1)); // the oldest: the first saved one
        QVERIFY(queue.holdsPreloaded());
        QList<QByteArray> order;
        while (OutgoingMessage *next = queue.handNext()) {
            next->mid = int(order.size()) + 1;
            order.append(next->payload);
        }
        QCOMPARE(order, QList<QByteArray>({"saved 2", "live 1", "live 2"}));
        queue.taken(2); // live 1 before saved 2: nothing leaves yet
        QVERIFY(queue.holdsPreloaded());
        queue.connectionLost();
        QCOMPARE(payloads(queue.takeAll()), QList<QByteArray>({"saved 2", "live 2"}));
        QVERIFY(queue.isEmpty());
        queue.preload({message("t", "saved")});
        queue.handNext()->mid = 9;
        queue.taken(9);
        QVERIFY(!queue.holdsPreloaded());
    }
};

QTEST_GUILESS_MAIN(TestSavedMessages)
#include "tst_savedmessages.moc"
