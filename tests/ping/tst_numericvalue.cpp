// How texts of the settings boxes read as numbers and whole numbers.
#include "ping/numericvalue.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace netvane;

class TestNumericValue final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void value_data();
    void value();
    void whole_data();
    void whole();
    void plain_data();
    void plain();
};

void TestNumericValue::value_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("item with unit") << u"600  Milliseconds"_qs << 600.0;
    QTest::newRow("blank inside") << u"1 500"_qs << 1500.0;
    QTest::newRow("list") << u"16,32"_qs << 16.0;
    QTest::newRow("letters") << u"abc"_qs << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("only blanks") << u" \t\n "_qs << 0.0;
    QTest::newRow("tab and line feed inside") << u"\t7\n5"_qs << 75.0;
    QTest::newRow("carriage return stops") << u"7\r5"_qs << 7.0;
    QTest::newRow("plus") << u"+3"_qs << 3.0;
    QTest::newRow("minus apart") << u"- 3"_qs << -3.0;
    QTest::newRow("two signs") << u"--3"_qs << 0.0;
    QTest::newRow("sign after digits") << u"10--"_qs << 10.0;
    QTest::newRow("increment form") << u" 32++"_qs << 32.0;
    QTest::newRow("two points") << u"1.2.3"_qs << 1.2;
    QTest::newRow("leading point") << u".5"_qs << 0.5;
    QTest::newRow("trailing point") << u"5."_qs << 5.0;
    QTest::newRow("lone point") << u"."_qs << 0.0;
    QTest::newRow("exponent") << u"1e3"_qs << 1000.0;
    QTest::newRow("negative exponent") << u"1E-2"_qs << 0.01;
    QTest::newRow("exponent with blanks") << u"3 e 2 x"_qs << 300.0;
    QTest::newRow("signed mantissa and exponent") << u"-12.5e1x"_qs << -125.0;
    QTest::newRow("exponent without digits") << u"1e"_qs << 1.0;
    QTest::newRow("exponent sign without digits") << u"1e+"_qs << 1.0;
    QTest::newRow("no mantissa") << u"e5"_qs << 0.0;
    QTest::newRow("second exponent") << u"2e1e1"_qs << 20.0;
    QTest::newRow("huge") << u"1e400"_qs << inf;
    QTest::newRow("huge negative") << u"-1e400"_qs << -inf;
    QTest::newRow("tiny") << u"1e-400"_qs << 0.0;
    QTest::newRow("hex is not read") << u"0x10"_qs << 0.0;
    QTest::newRow("other digits") << u"\u0661\u0662"_qs << 0.0;
    QTest::newRow("digits then bytes") << u"20000 bytes"_qs << 20000.0;
}

void TestNumericValue::value()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(NumericValue(text), expected);
}

void TestNumericValue::whole_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");
    QTest::newRow("half down to even") << 0.5 << true << 0;
    QTest::newRow("half up to even") << 1.5 << true << 2;
    QTest::newRow("2.5") << 2.5 << true << 2;
    QTest::newRow("3.5") << 3.5 << true << 4;
    QTest::newRow("-2.5") << -2.5 << true << -2;
    QTest::newRow("-0.5") << -0.5 << true << 0;
    QTest::newRow("below half") << 2.4999 << true << 2;
    QTest::newRow("above half") << 2.5001 << true << 3;
    QTest::newRow("largest") << 2147483647.0 << true << 2147483647;
    QTest::newRow("too large") << 2147483648.0 << false << 0;
    QTest::newRow("too small") << -2147483649.0 << false << 0;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << false << 0;
    QTest::newRow("not a number") << std::nan("") << false << 0;
}

void TestNumericValue::whole()
{
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const std::optional<int> whole = WholeNumber(value);
    QCOMPARE(whole.has_value(), fits);
    if (fits)
        QCOMPARE(*whole, expected);
}

void TestNumericValue::plain_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 968.0 << u"968"_qs;
    QTest::newRow("negative") << -10.0 << u"-10"_qs;
    QTest::newRow("fraction") << 12.5 << u"12.5"_qs;
    QTest::newRow("large, no exponent") << 1e20 << u"100000000000000000000"_qs;
}

void TestNumericValue::plain()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(PlainNumber(value), expected);
}

QTEST_GUILESS_MAIN(TestNumericValue)
#include "tst_numericvalue.moc"
