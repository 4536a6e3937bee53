// The file of messages saved for a broker, on real files: read back byte for
// byte, damage refused, older files first; saved messages go ahead of the
// queue within its bound.
#include "mqtt/savedmessages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

OutgoingMessage message(const QByteArray &topic, const QByteArray &payload, int qos = 1, bool retain = false)
{
    return {topic, payload, qos, retain};
}

QList<QByteArray> fields(const std::vector<OutgoingMessage> &messages)
{
    QList<QByteArray> list;
    for (const OutgoingMessage &m : messages)
        list << m.topic << m.payload << QByteArray::number(m.qos) << QByteArray::number(m.retain);
    return list;
}

QByteArray everyByte()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

const std::vector<OutgoingMessage> kTwo = {message("halvern/s/tx/1", everyByte(), 1, true),
                                           message("halvern/s/r\xC3\xA5w", QByteArray(), 0, false)};

} // namespace

class TestSavedMessages : public QObject {
    Q_OBJECT
private slots:
    void readsBackByteForByte()
    {
        QString why;
        const auto read = parseSavedMessages(savedMessagesBytes(kTwo), &why);
        QVERIFY2(read, qPrintable(why));
        QCOMPARE(fields(*read), fields(kTwo));
        const QByteArray whole = savedMessagesBytes(kTwo);
        for (qsizetype size = 0; size < whole.size(); ++size) // every cut is refused
            QVERIFY2(!parseSavedMessages(whole.left(size), &why), qPrintable(QString::number(size)));
    }

    void refusesDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = savedMessagesBytes(kTwo);
        const auto with = [&](int at, char value) { return QByteArray(good).replace(at, 1, &value, 1); };
        QTest::newRow("garbage") << QByteArray("Tx Number,S-Level\r\n") << "not a file of saved MQTT messages";
        QTest::newRow("another version") << with(11, 2) << "version 2, this program reads version 1";
        QTest::newRow("QoS 2") << with(16, 2) << "message 1 of 2 is damaged";
        QTest::newRow("retain 2") << with(17, 2) << "message 1 of 2 is damaged";
        QTest::newRow("more counted than held") << with(15, 3) << "cut short in message 3 of 3";
        QTest::newRow("a byte after the end") << good + 'x' << "more after the last message";
        QTest::newRow("empty topic") << savedMessagesBytes({message("", "x")}) << "message 1 of 1 is damaged";
        QTest::newRow("cut in a length") << good.chopped(1) << "cut short in message 2 of 2";
    }
    void refusesDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QString said;
        QVERIFY(!parseSavedMessages(bytes, &said));
        QCOMPARE(said, why);
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("station");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("stem");
        QTest::newRow("plain") << "site1"
                               << "broker.local"
                               << "site1@broker.local_1883";
        QTest::newRow("slash, space") << "pump house/1"
                                      << "10.0.0.1"
                                      << "pump%20house%2F1@10.0.0.1_1883";
        QTest::newRow("ipv6, not ascii") << "\u00e9"
                                         << "::1"
                                         << "%C3%A9@%3A%3A1_1883";
        QTest::newRow("separators written out") << "a@b_c"
                                                << "h_x"
                                                << "a%40b%5Fc@h%5Fx_1883";
        QTest::newRow("too long") << QString(300, u'a') << "h" << QString(100, u'a') + u'.';
    }
    void fileNames()
    {
        QFETCH(QString, station);
        QFETCH(QString, host);
        QFETCH(QString, stem);
        const QString made = savedMessagesStem(station, host, 1883);
        QVERIFY2(made == stem || (made.startsWith(stem) && made.size() == 165), qPrintable(made));
    }

    void olderFilesFirstRewrittenIntoOne()
    {
        QTemporaryDir dir;
        const auto write = [&](const char *name, const QByteArray &payload) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(savedMessagesBytes({message("t", payload)}));
        };
        write("s@h_1.10.mqtt", "third");
        write("s@h_1.2.mqtt", "second");
        write("s@h_1.mqtt", "first");
        write("s@h_10.mqtt", "another port");
        SavedMessages saved(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
        QStringList report;
        QCOMPARE(fields(saved.load(&report)),
                 fields({message("t", "first"), message("t", "second"), message("t", "third")}));
        QVERIFY(saved.save({message("t", "left")}).contains(dir.filePath(QStringLiteral("s@h_1.mqtt"))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({u"s@h_1.mqtt"_qs, u"s@h_10.mqtt"_qs}));
    }

    void preloadedGoFirstWithinTheBound()
    {
        PublishQueue queue;
        queue.setLimit(3);
        queue.push(message("t", "live 1"));
        queue.push(message("t", "live 2"));
        queue.preload({message("t", "saved 1"), message("t", "saved 2")});
        QCOMPARE(queue.dropped(), qint64(1)); // the oldest: the first saved one
        QList<QByteArray> order;
        while (OutgoingMessage *next = queue.handNext()) {
            next->mid = int(order.size()) + 1;
            order.append(next->payload);
        }
        QCOMPARE(order, QList<QByteArray>({"saved 2", "live 1", "live 2"}));
        queue.taken(2); // live 1, behind saved 2: nothing leaves yet
        QVERIFY(queue.holdsPreloaded());
        queue.taken(1);
        QVERIFY(!queue.holdsPreloaded());
        QCOMPARE(fields(queue.takeAll()), fields({message("t", "live 2")}));
        QVERIFY(queue.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSavedMessages)
#include "tst_savedmessages.moc"
