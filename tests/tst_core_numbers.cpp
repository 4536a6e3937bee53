// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The leading-number rule, the whole-number conversions and number texts.
#include "app/numbers.h"

#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>

class TestCoreNumbers : public QObject {
    Q_OBJECT

private slots:
    void leadingNumber_data();
    void leadingNumber();
    void leadingNumberSaturates_data();
    void leadingNumberSaturates();
    void leadingNumberIsNeverNanOrNegativeZero_data();
    void leadingNumberIsNeverNanOrNegativeZero();
    void roundHalfEven_data();
    void roundHalfEven();
    void wholePart_data();
    void wholePart();
    void formatNumber_data();
    void formatNumber();
    void formatNumberReadsBack_data();
    void formatNumberReadsBack();
    void formatNumberIgnoresLocale();
    void zeroPadded_data();
    void zeroPadded();
};

void TestCoreNumbers::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("plain") << "1234" << 1234.0;
    QTest::newRow("plus sign") << "+5" << 5.0;
    QTest::newRow("double sign") << "--5" << 0.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("E exponent") << "1.5E2" << 150.0;
    QTest::newRow("e exponent signed") << "1E+02" << 100.0;
    QTest::newRow("negative exponent") << "25e-1" << 2.5;
    QTest::newRow("D exponent") << "1D3" << 1000.0;
    QTest::newRow("d exponent") << "2d-1" << 0.2;
    QTest::newRow("incomplete exponent") << "1e" << 1.0;
    QTest::newRow("exponent sign only") << "1e+" << 1.0;
    QTest::newRow("exponent then letter") << "7e-x" << 7.0;
    QTest::newRow("exponent without digits before") << ".e5" << 0.0;
    QTest::newRow("letter E alone") << "E5" << 0.0;
    QTest::newRow("blanks between digits") << "  1 2" << 12.0;
    QTest::newRow("blank between sign and digits") << "\t- \n7" << -7.0;
    QTest::newRow("carriage return skipped") << "1\r\n5" << 15.0;
    QTest::newRow("blanks around point and exponent") << "1 . 5 e 1" << 15.0;
    QTest::newRow("stops at letters") << "12abc" << 12.0;
    QTest::newRow("stops at comma") << "3,5" << 3.0;
    QTest::newRow("negative large") << "-1e30" << -1e30;
    QTest::newRow("decimal fraction") << "0.1" << 0.1;
    QTest::newRow("leading zeros") << "000123.4500" << 123.45;
    QTest::newRow("many fraction zeros") << "0.0000000000000000000000000001" << 1e-28;
    QTest::newRow("more digits than a double") << "123456789012345678901234567890" << 1.2345678901234568e29;
    QTest::newRow("halfway rounds to even") << "9007199254740993" << 9007199254740992.0;
    QTest::newRow("digits then huge negative exponent")
        << QString(QStringLiteral("0.") + QString(300, u'0') + QStringLiteral("1e300")) << 0.1;

    QTest::newRow("hex") << "&H1F" << 31.0;
    QTest::newRow("hex lower case") << "&h1f" << 31.0;
    QTest::newRow("hex four digits unsigned") << "&HFFFF" << 65535.0;
    QTest::newRow("hex 48 bits") << "&HFFFFFFFFFFFF" << 281474976710655.0;
    QTest::newRow("hex 64 bits") << "&HFFFFFFFFFFFFFFFF" << 18446744073709551615.0;
    QTest::newRow("hex 20 digits") << "&H100000000000000000000" << std::ldexp(1.0, 80);
    QTest::newRow("hex blanks inside") << "& H 1 0" << 16.0;
    QTest::newRow("hex stops at non-digit") << "&H1G" << 1.0;
    QTest::newRow("hex without digits") << "&H" << 0.0;
    QTest::newRow("hex after sign") << "-&H10" << 0.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal lower case") << "&o777" << 511.0;
    QTest::newRow("octal stops at 8") << "&O78" << 7.0;
    QTest::newRow("octal without digits") << "&O8" << 0.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
}

void TestCoreNumbers::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(::leadingNumber(text), expected);
}

void TestCoreNumbers::leadingNumberSaturates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("overflow") << "1e400" << inf;
    QTest::newRow("negative overflow") << "-1e400" << -inf;
    QTest::newRow("just past the largest double") << "1.8e308" << inf;
    QTest::newRow("largest double") << "1.7976931348623157e308" << std::numeric_limits<double>::max();
    QTest::newRow("exponent beyond any integer") << "1e99999999999999999999999" << inf;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("exponent below any integer") << "1e-99999999999999999999999" << 0.0;
    QTest::newRow("smallest subnormal") << "4.9406564584124654e-324" << std::numeric_limits<double>::denorm_min();
    QTest::newRow("500 digits") << QString(u'1' + QString(500, u'0')) << inf;
    QTest::newRow("zero with huge exponent") << "0e99999" << 0.0;
    QTest::newRow("300 hex digits") << QString(QStringLiteral("&H") + QString(300, u'F')) << inf;
    QTest::newRow("400 octal digits") << QString(QStringLiteral("&O") + QString(400, u'7')) << inf;
}

void TestCoreNumbers::leadingNumberSaturates()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(::leadingNumber(text), expected);
}

void TestCoreNumbers::leadingNumberIsNeverNanOrNegativeZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("minus zero") << "-0";
    QTest::newRow("minus point zero") << "-0.0e5";
    QTest::newRow("minus underflow") << "-1e-999";
    QTest::newRow("minus alone") << "-";
    QTest::newRow("nan spelled") << "nan";
    QTest::newRow("inf spelled") << "inf";
    QTest::newRow("infinite mantissa times zero") << QString(u'9' + QString(400, u'9') + QStringLiteral("e-99999"));
}

void TestCoreNumbers::leadingNumberIsNeverNanOrNegativeZero()
{
    QFETCH(QString, text);
    const double value = ::leadingNumber(text);
    QVERIFY(!std::isnan(value));
    if (value == 0.0)
        QVERIFY(!std::signbit(value));
}

void TestCoreNumbers::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("2.5") << 2.5 << true << qint64(2);
    QTest::newRow("3.5") << 3.5 << true << qint64(4);
    QTest::newRow("0.5") << 0.5 << true << qint64(0);
    QTest::newRow("1.5") << 1.5 << true << qint64(2);
    QTest::newRow("-0.5") << -0.5 << true << qint64(0);
    QTest::newRow("-1.5") << -1.5 << true << qint64(-2);
    QTest::newRow("-2.5") << -2.5 << true << qint64(-2);
    QTest::newRow("255.5") << 255.5 << true << qint64(256);
    QTest::newRow("just below a half") << 0.49999999999999994 << true << qint64(0);
    QTest::newRow("2.6") << 2.6 << true << qint64(3);
    QTest::newRow("-2.6") << -2.6 << true << qint64(-3);
    QTest::newRow("-0.6") << -0.6 << true << qint64(-1);
    QTest::newRow("largest half") << 4503599627370495.5 << true << qint64(4503599627370496);
    QTest::newRow("int64 min") << -9223372036854775808.0 << true << std::numeric_limits<qint64>::min();
    QTest::newRow("2^63") << 9223372036854775808.0 << false << qint64(0);
    QTest::newRow("below int64") << -1e19 << false << qint64(0);
    QTest::newRow("huge") << 1e300 << false << qint64(0);
    QTest::newRow("inf") << std::numeric_limits<double>::infinity() << false << qint64(0);
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << false << qint64(0);
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << false << qint64(0);
}

void TestCoreNumbers::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(bool, valid);
    QFETCH(qint64, expected);
    const auto result = ::roundHalfEven(value);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, expected);
}

void TestCoreNumbers::wholePart_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("-0.5") << -0.5 << true << qint64(-1);
    QTest::newRow("-0.4") << -0.4 << true << qint64(-1);
    QTest::newRow("2.9") << 2.9 << true << qint64(2);
    QTest::newRow("-2") << -2.0 << true << qint64(-2);
    QTest::newRow("-0") << -0.0 << true << qint64(0);
    QTest::newRow("300.7 / 256") << 300.7 / 256 << true << qint64(1);
    QTest::newRow("int64 min") << -9223372036854775808.0 << true << std::numeric_limits<qint64>::min();
    QTest::newRow("2^63") << 9223372036854775808.0 << false << qint64(0);
    QTest::newRow("inf") << std::numeric_limits<double>::infinity() << false << qint64(0);
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << false << qint64(0);
}

void TestCoreNumbers::wholePart()
{
    QFETCH(double, value);
    QFETCH(bool, valid);
    QFETCH(qint64, expected);
    const auto result = ::wholePart(value);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, expected);
}

void TestCoreNumbers::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("whole") << 1234.0 << "1234";
    QTest::newRow("negative whole") << -3.0 << "-3";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("half") << 21.5 << "21.5";
    QTest::newRow("negative half") << -0.5 << "-0.5";
    QTest::newRow("shortest") << 0.1 << "0.1";
    QTest::newRow("shortest that reads back") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("small fraction without exponent") << 1e-7 << "0.0000001";
    QTest::newRow("negative small fraction") << -2.5e-5 << "-0.000025";
    QTest::newRow("large whole without exponent") << 1e20 << "100000000000000000000";
    QTest::newRow("2^63 with every digit") << 9223372036854775808.0 << "9223372036854775808";
    QTest::newRow("beyond 1e21") << 1e300 << "1e+300";
    QTest::newRow("inf") << std::numeric_limits<double>::infinity() << "inf";
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << "-inf";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "nan";
}

void TestCoreNumbers::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(::formatNumber(value), expected);
}

void TestCoreNumbers::formatNumberReadsBack_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("third") << 1.0 / 3;
    QTest::newRow("pi") << 3.141592653589793;
    QTest::newRow("negative") << -1234.5678;
    QTest::newRow("tiny") << 1.5e-300;
    QTest::newRow("subnormal") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("largest") << std::numeric_limits<double>::max();
    QTest::newRow("2^53 + 2") << 9007199254740994.0;
}

// What the console writes into a box must read back as the same number.
void TestCoreNumbers::formatNumberReadsBack()
{
    QFETCH(double, value);
    QCOMPARE(::leadingNumber(::formatNumber(value)), value);
}

void TestCoreNumbers::formatNumberIgnoresLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString half = ::formatNumber(21.5);
    const QString big = ::formatNumber(1234567.0);
    const double read = ::leadingNumber(u"21,5");
    QLocale::setDefault(previous);
    QCOMPARE(half, QStringLiteral("21.5"));
    QCOMPARE(big, QStringLiteral("1234567"));
    QCOMPARE(read, 21.0);
}

void TestCoreNumbers::zeroPadded_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("transmitter number") << qint64(1234) << 6 << "001234";
    QTest::newRow("clock part") << qint64(8) << 2 << "08";
    QTest::newRow("zero") << qint64(0) << 2 << "00";
    QTest::newRow("wider than width") << qint64(16777215) << 6 << "16777215";
    QTest::newRow("width zero") << qint64(7) << 0 << "7";
    QTest::newRow("negative width") << qint64(7) << -3 << "7";
    QTest::newRow("negative value") << qint64(-5) << 3 << "-005";
    QTest::newRow("int64 min") << std::numeric_limits<qint64>::min() << 2 << "-9223372036854775808";
}

void TestCoreNumbers::zeroPadded()
{
    QFETCH(qint64, value);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(::zeroPadded(value, width), expected);
}

QTEST_GUILESS_MAIN(TestCoreNumbers)
#include "tst_core_numbers.moc"
