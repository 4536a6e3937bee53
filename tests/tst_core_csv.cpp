// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// CSV fields and lines, log file names and the Date field.
#include "logging/csv.h"

#include <QTest>

class TestCoreCsv : public QObject {
    Q_OBJECT

private slots:
    void csvField_data();
    void csvField();
    void csvLine_data();
    void csvLine();
    void logFileName_data();
    void logFileName();
    void logDate_data();
    void logDate();
};

void TestCoreCsv::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("number") << "1234"
                            << "1234";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("time") << "09:05:07"
                          << "09:05:07";
    QTest::newRow("date") << "8/12/2026"
                          << "8/12/2026";
    QTest::newRow("blanks kept, not quoted") << " 21.5 "
                                             << " 21.5 ";
    QTest::newRow("contact text") << "1:On"
                                  << "1:On";
    QTest::newRow("comma") << "a,b"
                           << "\"a,b\"";
    QTest::newRow("quote doubled") << "say \"hi\""
                                   << "\"say \"\"hi\"\"\"";
    QTest::newRow("only a quote") << "\""
                                  << "\"\"\"\"";
    QTest::newRow("line feed") << "line\nbreak"
                               << "\"line\nbreak\"";
    QTest::newRow("carriage return") << "cr\rhere"
                                     << "\"cr\rhere\"";
}

void TestCoreCsv::csvField()
{
    QFETCH(QString, text);
    QTEST(::csvField(text), "expected");
}

void TestCoreCsv::csvLine_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("expected");

    QTest::newRow("message line") << QStringList{"1234", "7", "22", "09:05:07", "8/12/2026"}
                                  << "1234,7,22,09:05:07,8/12/2026";
    QTest::newRow("snapshot line") << QStringList{"74565", "7", "21.5", "10:15:00", "8/12/2026"}
                                   << "74565,7,21.5,10:15:00,8/12/2026";
    QTest::newRow("empty fields keep their places") << QStringList{"12", "", "", "", "1/1/2027"} << "12,,,,1/1/2027";
    QTest::newRow("comma in a box stays one field")
        << QStringList{"12", "3", "1,5", "10:00:00", "1/1/2027"} << "12,3,\"1,5\",10:00:00,1/1/2027";
}

void TestCoreCsv::csvLine()
{
    QFETCH(QStringList, fields);
    QTEST(::csvLine(fields), "expected");
}

void TestCoreCsv::logFileName_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("expected");

    QTest::newRow("default names") << "c:\\logger\\"
                                   << "halvernlog"
                                   << "8"
                                   << "12"
                                   << "2026"
                                   << "c:\\logger\\halvernlog08122026.csv";
    QTest::newRow("per transmitter") << "c:\\logger\\"
                                     << "tx001234_"
                                     << "8"
                                     << "12"
                                     << "2026"
                                     << "c:\\logger\\tx001234_08122026.csv";
    QTest::newRow("day and month one digit") << "/var/log/halvern/"
                                             << "halvernlog"
                                             << "1"
                                             << "2"
                                             << "2027"
                                             << "/var/log/halvern/halvernlog01022027.csv";
    QTest::newRow("two digits stay") << "c:\\logger\\"
                                     << "halvernlog"
                                     << "31"
                                     << "10"
                                     << "2026"
                                     << "c:\\logger\\halvernlog31102026.csv";
    QTest::newRow("nothing added between folder and base") << "c:\\logger"
                                                           << "log"
                                                           << "5"
                                                           << "6"
                                                           << "2026"
                                                           << "c:\\loggerlog05062026.csv";
}

void TestCoreCsv::logFileName()
{
    QFETCH(QString, folder);
    QFETCH(QString, base);
    QFETCH(QString, day);
    QFETCH(QString, month);
    QFETCH(QString, year);
    QTEST(::logFileName(folder, base, day, month, year), "expected");
}

void TestCoreCsv::logDate_data()
{
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no leading zeros") << "8"
                                      << "12"
                                      << "2026"
                                      << "8/12/2026";
    QTest::newRow("both one digit") << "1"
                                    << "2"
                                    << "2027"
                                    << "1/2/2027";
    QTest::newRow("both two digits") << "31"
                                     << "10"
                                     << "2026"
                                     << "31/10/2026";
}

void TestCoreCsv::logDate()
{
    QFETCH(QString, day);
    QFETCH(QString, month);
    QFETCH(QString, year);
    QTEST(::logDate(day, month, year), "expected");
}

QTEST_GUILESS_MAIN(TestCoreCsv)
#include "tst_core_csv.moc"
