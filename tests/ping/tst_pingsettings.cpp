// The checks of the settings boxes and the size and interval sequence texts.
// (The dialog refusals the window test drives are not repeated here.)
#include "ping/pingsettings.h"
#include "ping/pingtest.h"
#include "ping/sequenceparsers.h"

#include <QTest>

using namespace netvane;

using IntList = QList<int>;

class TestPingSettings final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void items();
    void incrementalText_data();
    void incrementalText();
    void multipleText_data();
    void multipleText();
    void intervalText_data();
    void intervalText();
    void dialogIncremental_data();
    void dialogIncremental();
    void dialogMultiple_data();
    void dialogMultiple();
    void textForms();
    void sizeCheck_data();
    void sizeCheck();
    void intervalCheck_data();
    void intervalCheck();
    void numberChecks();
    void total_data();
    void total();
    void sizeStepLength_data();
    void sizeStepLength();
};

void TestPingSettings::items()
{
    const QStringList inv = IntervalItems();
    QCOMPARE(inv.size(), 79);
    QCOMPARE(inv.at(0), u"10  Milliseconds"_qs);
    QCOMPARE(inv.at(IntervalStartItem), u"600  Milliseconds"_qs);
    QCOMPARE(inv.at(77), u"60000  Milliseconds"_qs);
    QCOMPARE(inv.last(), u"Advanced"_qs);
    const QStringList timeout = TimeOutItems();
    QCOMPARE(timeout.size(), 27);
    QCOMPARE(timeout.at(TimeOutStartItem), u"600  Milliseconds"_qs);
    QCOMPARE(timeout.last(), u"9000  Milliseconds"_qs);
    const QStringList sizes = SizeItems();
    QCOMPARE(sizes.size(), 16);
    QCOMPARE(sizes.at(SizeStartItem), u"32  Bytes"_qs);
    QCOMPARE(sizes.at(12), u"32000  Bytes"_qs);
    QCOMPARE(sizes.mid(13), (QStringList{u"16,32,64,1024  Bytes"_qs, u"Step up with 32 Bytes"_qs,
                                         u"Advanced"_qs}));
    const QStringList times = TestTimesItems();
    QCOMPARE(times.size(), 19);
    QCOMPARE(times.first(), u"Continually"_qs);
    QCOMPARE(times.at(10), u"500"_qs);
    QCOMPARE(times.last(), u"100000"_qs);
    const QStringList repeat = RepeatItems();
    QCOMPARE(repeat.size(), 100);
    QCOMPARE(repeat.first(), u"1"_qs);
    QCOMPARE(repeat.last(), u"100"_qs);
}

void TestPingSettings::incrementalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: parses
    QTest::addColumn<int>("count");
    QTest::addColumn<IntList>("fromIncrementRepeat");
    QTest::newRow("dialog form") << u"32 to 32000, 32++, 1"_qs << QString() << 1000
                                 << IntList{32, 32, 1};
    QTest::newRow("upper case and blanks") << u"  100 TO 300 , 100++ , 3 "_qs << QString() << 3
                                           << IntList{100, 100, 3};
    QTest::newRow("uneven span") << u"10 to 45, 10++, 1"_qs << QString() << 4
                                 << IntList{10, 10, 1};
    QTest::newRow("stepping down") << u"100 to 36, -32++, 1"_qs << QString() << 3
                                   << IntList{100, -32, 1};
    QTest::newRow("one size") << u"64 to 64, 32++, 2"_qs << QString() << 1 << IntList{64, 32, 2};
    QTest::newRow("two parts") << u"32 to 100, 32++"_qs << u" - Inalid Send Buffer Size."_qs
                               << 1 << IntList{};
    QTest::newRow("no to in the first part") << u"32, to 5, 1"_qs
                                             << u" - Inalid Send Buffer Size."_qs << 1 << IntList{};
    QTest::newRow("zero increment") << u"32 to 100, 0++, 1"_qs
                                    << u"Division by zero - Inalid Send Buffer Size."_qs << 1
                                    << IntList{};
    QTest::newRow("count below one") << u"100 to 32, 32++, 1"_qs
                                     << u"Inalid Send Buffer Size."_qs << 1 << IntList{};
    QTest::newRow("sizes above the max") << u"32 to 40000, 32++, 1"_qs
                                         << u"Inalid Send Buffer Size."_qs << 1 << IntList{};
    QTest::newRow("sizes below one") << u"0 to 64, 32++, 1"_qs << u"Inalid Send Buffer Size."_qs
                                     << 1 << IntList{};
    QTest::newRow("stepping below one") << u"64 to -64, -32++, 1"_qs
                                        << u"Inalid Send Buffer Size."_qs << 1 << IntList{};
    QTest::newRow("no repeat") << u"32 to 64, 32++, 0"_qs
                               << u"Invalid Value of 'Repeat times for each value', the min value is 1."_qs
                               << 1 << IntList{};
    QTest::newRow("repeat beyond 16 bits") << u"32 to 64, 32++, 40000"_qs
                                           << u"Overflow - Inalid Send Buffer Size."_qs << 1
                                           << IntList{};
}

void TestPingSettings::incrementalText()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, count);
    QFETCH(IntList, fromIncrementRepeat);
    const SizeSequenceResult r = ParseIncrementalSizeText(text);
    QCOMPARE(r.message, message);
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.plan.count, count);
    if (r.ok) {
        QCOMPARE(r.plan.mode, u"Incremental"_qs);
        QCOMPARE((IntList{r.plan.from, r.plan.increment, r.plan.repeat}), fromIncrementRepeat);
    } else {
        // A refused text leaves one size of 32.
        QVERIFY(!r.plan.active());
        QCOMPARE(r.plan.sizes, IntList{32});
    }
}

void TestPingSettings::multipleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<IntList>("sizes");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("valuesText");
    QTest::newRow("typed with blanks") << u"16, 32, 64 / 2"_qs << QString() << IntList{16, 32, 64}
                                       << 2 << u"16,32,64 /2"_qs;
    QTest::newRow("dialog form") << u"16,32,64,128,1024 /4"_qs << QString()
                                 << IntList{16, 32, 64, 128, 1024} << 4
                                 << u"16,32,64,128,1024 /4"_qs;
    QTest::newRow("outer commas") << u",16,32, /1"_qs << QString() << IntList{16, 32} << 1
                                  << u"16,32 /1"_qs;
    QTest::newRow("repeat read as a number") << u"8,9 /3 times"_qs << QString() << IntList{8, 9}
                                             << 3 << u"8,9 /3"_qs;
    QTest::newRow("only commas") << u" , /3"_qs << u"Inalid Send Buffer Size."_qs << IntList{32}
                                 << 1 << QString();
    QTest::newRow("letter") << u"16,a /1"_qs
                            << u"Inalid Send Buffer Size, Invalid Character 'a."_qs
                            << IntList{32} << 1 << QString();
    QTest::newRow("unit word") << u"16,32 bytes /1"_qs
                               << u"Inalid Send Buffer Size, Invalid Character 'b."_qs
                               << IntList{32} << 1 << QString();
    QTest::newRow("no repeat") << u"16,32 /0"_qs
                               << u"Invalid Value of 'Repeat times for each value', the min value is 1."_qs
                               << IntList{32} << 1 << QString();
    QTest::newRow("empty item") << u"16,,32 /1"_qs << u"Invalid 0 value in the 'Values'."_qs
                                << IntList{32} << 1 << QString();
    QTest::newRow("zero") << u"16,0 /1"_qs << u"Invalid 0 value in the 'Values'."_qs
                          << IntList{32} << 1 << QString();
    QTest::newRow("too big") << u"16,40000 /1"_qs
                             << u"Invalid value '40000' in the 'Values', the max value is 32000."_qs
                             << IntList{32} << 1 << QString();
    QTest::newRow("far too big") << u"16,99999999999 /1"_qs
                                 << u"Invalid value '99999999999' in the 'Values', the max value is 32000."_qs
                                 << IntList{32} << 1 << QString();
    // The first bad character is found by its place: a pasted NUL is one too.
    QTest::newRow("NUL") << u"16,5"_qs + QChar(0) + u",-3 /1"_qs
                         << u"Inalid Send Buffer Size, Invalid Character '"_qs + QChar(0) + u"."_qs
                         << IntList{32} << 1 << QString();
}

void TestPingSettings::multipleText()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(IntList, sizes);
    QFETCH(int, repeat);
    QFETCH(QString, valuesText);
    QVERIFY(IsMultipleSizeText(text));
    const SizeSequenceResult r = ParseMultipleSizeText(text);
    QCOMPARE(r.message, message);
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.plan.sizes, sizes);
    QCOMPARE(r.plan.count, int(sizes.size()));
    QCOMPARE(r.plan.repeat, repeat);
    QCOMPARE(r.plan.valuesText, valuesText);
    QCOMPARE(r.plan.mode, r.ok ? u"Multiple"_qs : QString());
}

void TestPingSettings::intervalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<IntList>("fromToIncrementRepeat");
    QTest::newRow("down") << u"1000 to 0, 10--, 1"_qs << true << IntList{1000, 0, -10, 1};
    QTest::newRow("up") << u"1000 to 2000, 10++, 1"_qs << true << IntList{1000, 2000, 10, 1};
    QTest::newRow("same ends step down") << u"100 to 100, 5--, 2"_qs << true
                                         << IntList{100, 100, -5, 2};
    QTest::newRow("upper case") << u"500 TO 50, 50--, 3"_qs << true << IntList{500, 50, -50, 3};
    QTest::newRow("end below one") << u"100 to -50, 30--, 1"_qs << true
                                   << IntList{100, -50, -30, 1};
    QTest::newRow("two parts") << u"1000 to 0, 10--"_qs << false << IntList{};
    QTest::newRow("no to") << u"1000, 0, 10"_qs << false << IntList{};
    QTest::newRow("starts at zero") << u"0 to 1000, 10++, 1"_qs << false << IntList{};
    QTest::newRow("starts below zero") << u"-5 to 10, 1++, 1"_qs << false << IntList{};
    QTest::newRow("overflow") << u"1e12 to 0, 1--, 1"_qs << false << IntList{};
    // Every interval the stepping reaches must be a 32-bit number.
    QTest::newRow("step past 32 bits") << u"1000 to 3000, 2147483647++, 1"_qs << false << IntList{};
    QTest::newRow("step below 32 bits") << u"1000 to -2147483000, 1000--, 1"_qs << false
                                        << IntList{};
}

void TestPingSettings::intervalText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(IntList, fromToIncrementRepeat);
    const IntervalSequenceResult r = ParseIntervalText(text);
    QCOMPARE(r.ok, ok);
    if (!ok) {
        QCOMPARE(r.message, u"Inalid Test Interval."_qs);
        return;
    }
    const IntervalSequence &s = r.sequence;
    QCOMPARE(s.mode, u"Increment"_qs);
    QCOMPARE((IntList{s.from, s.to, s.increment, s.repeat}), fromToIncrementRepeat);
    QCOMPARE(s.currentInterval, s.from);
}

void TestPingSettings::dialogIncremental_data()
{
    QTest::addColumn<QStringList>("boxes"); // from, to, increment, repeat
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("count");
    QTest::newRow("defaults") << QStringList{u"32"_qs, u"32000"_qs, u"32"_qs, u"1"_qs} << QString()
                              << 1000;
    QTest::newRow("from 0") << QStringList{u"0"_qs, u"100"_qs, u"1"_qs, u"1"_qs}
                            << u"Invalid Value of 'Send buffer size from'."_qs << 0;
    QTest::newRow("from too big") << QStringList{u"32001"_qs, u"100"_qs, u"1"_qs, u"1"_qs}
                                  << u"Invalid Value of 'Send buffer size from', the max size is 32000."_qs
                                  << 0;
    QTest::newRow("to 0") << QStringList{u"32"_qs, u"0"_qs, u"1"_qs, u"1"_qs}
                          << u"Invalid Value of 'Send buffer size to'."_qs << 0;
    QTest::newRow("to too big") << QStringList{u"32"_qs, u"40000"_qs, u"1"_qs, u"1"_qs}
                                << u"Invalid Value of 'Send buffer size to', the max size is 32000."_qs
                                << 0;
    QTest::newRow("no increment") << QStringList{u"32"_qs, u"100"_qs, u"0"_qs, u"1"_qs}
                                  << u"Invalid Value of 'Increment  value'."_qs << 0;
    QTest::newRow("no repeat") << QStringList{u"32"_qs, u"100"_qs, u"1"_qs, u"0"_qs}
                               << u"Invalid Value of 'Repeat times for each value', the min value is 1."_qs
                               << 0;
    QTest::newRow("increment equal to span") << QStringList{u"32"_qs, u"64"_qs, u"32"_qs, u"1"_qs}
                                             << QString() << 2;
}

void TestPingSettings::dialogIncremental()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, message);
    QFETCH(int, count);
    const SizeSequenceResult r = CheckIncrementalSizes(boxes[0], boxes[1], boxes[2], boxes[3]);
    QCOMPARE(r.message, message);
    QCOMPARE(r.ok, message.isEmpty());
    QVERIFY(!r.unexpected);
    if (r.ok) {
        QCOMPARE(r.plan.count, count);
        QCOMPARE(r.plan.mode, u"Incremental"_qs);
    }
}

void TestPingSettings::dialogMultiple_data()
{
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("valuesText");
    QTest::newRow("defaults") << u"16,32,64,128,1024"_qs << u"4"_qs << QString()
                              << u"16,32,64,128,1024 /4"_qs;
    QTest::newRow("blanks") << u" 16 , 32"_qs << u"1"_qs << QString() << u"16,32 /1"_qs;
    QTest::newRow("empty") << u"  "_qs << u"4"_qs << u"Please enter the 'Values'."_qs << QString();
    QTest::newRow("a lone comma") << u","_qs << u"4"_qs << u"Please enter the 'Values'."_qs
                                  << QString();
    QTest::newRow("pasted letter") << u"16;32"_qs << u"4"_qs
                                   << u"Invalid Character ';' in the 'Values'."_qs << QString();
    QTest::newRow("no repeat") << u"16"_qs << u""_qs
                               << u"Invalid Value of 'Repeat times for each value', the min value is 1."_qs
                               << QString();
    QTest::newRow("too big") << u"32001"_qs << u"4"_qs
                             << u"Invalid value '32001' in the 'Values', the max value is 32000."_qs
                             << QString();
}

void TestPingSettings::dialogMultiple()
{
    QFETCH(QString, values);
    QFETCH(QString, repeat);
    QFETCH(QString, message);
    QFETCH(QString, valuesText);
    const SizeSequenceResult r = CheckMultipleSizes(values, repeat);
    QCOMPARE(r.message, message);
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.plan.valuesText, valuesText);
}

void TestPingSettings::textForms()
{
    // What the dialogs write is what the start reads back.
    const SizeSequenceResult sizes =
        CheckIncrementalSizes(u"32"_qs, u"32000"_qs, u"32"_qs, u"1"_qs);
    QCOMPARE(IncrementalSizeText(sizes.plan), u"32 to 32000, 32++, 1"_qs);
    const SizeSequenceResult again = ParseIncrementalSizeText(IncrementalSizeText(sizes.plan));
    QVERIFY(again.ok);
    QCOMPARE(again.plan.count, sizes.plan.count);

    const IntervalSequenceResult down =
        IntervalFromDialog(u"1000"_qs, u"0"_qs, u"10"_qs, u"1"_qs);
    QVERIFY(down.ok);
    QCOMPARE(IntervalText(down.sequence), u"1000 to 0, 10--, 1"_qs);
    QCOMPARE(ParseIntervalText(IntervalText(down.sequence)).sequence.increment, -10);
    const IntervalSequenceResult up = IntervalFromDialog(u"1000"_qs, u"2000"_qs, u"10"_qs, u"2"_qs);
    QCOMPARE(IntervalText(up.sequence), u"1000 to 2000, 10++, 2"_qs);
    QCOMPARE(ParseIntervalText(IntervalText(up.sequence)).sequence.increment, 10);
    const IntervalSequenceResult same = IntervalFromDialog(u"50"_qs, u"50"_qs, u"5"_qs, u"1"_qs);
    QCOMPARE(IntervalText(same.sequence), u"50 to 50, 5--, 1"_qs);
    const IntervalSequenceResult huge =
        IntervalFromDialog(u"99999999999"_qs, u"0"_qs, u"10"_qs, u"1"_qs);
    QVERIFY(!huge.ok);
    QVERIFY(huge.unexpected);
    QCOMPARE(huge.message, u"Overflow"_qs);
}

void TestPingSettings::sizeCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<IntList>("sizes"); // first sizes of the plan
    QTest::newRow("item") << u"32  Bytes"_qs << true << QString() << QString() << IntList{32};
    QTest::newRow("typed large") << u"20000 Bytes"_qs << true << QString() << QString()
                                 << IntList{20000};
    QTest::newRow("blank in number") << u"1 500 bytes"_qs << true << QString() << QString()
                                     << IntList{1500};
    // A size that is none is refused (the plan falls back to 32): no echo is sent
    // with a size the user did not choose.
    QTest::newRow("zero refused") << u"0 Bytes"_qs << false << u"Inalid Buffer Size Value."_qs
                                  << QString() << IntList{32};
    QTest::newRow("negative refused") << u"-8"_qs << false << u"Inalid Buffer Size Value."_qs
                                      << QString() << IntList{32};
    QTest::newRow("a word refused") << u"abc"_qs << false << u"Inalid Buffer Size Value."_qs
                                    << QString() << IntList{32};
    QTest::newRow("single value with slash") << u"100 /4"_qs << true << QString() << QString()
                                             << IntList{100};
    QTest::newRow("four sizes item") << u"16,32,64,1024  Bytes"_qs << true << QString()
                                     << u"Multiple"_qs << IntList{16, 32, 64, 1024};
    QTest::newRow("step up item") << u"Step up with 32 Bytes"_qs << true << QString()
                                  << u"Incremental"_qs << IntList{32};
    QTest::newRow("typed list") << u"16, 32, 64 / 2"_qs << true << QString() << u"Multiple"_qs
                                << IntList{16, 32, 64};
    QTest::newRow("typed steps") << u"100 to 300, 100++, 1"_qs << true << QString()
                                 << u"Incremental"_qs << IntList{100};
    QTest::newRow("bad steps") << u"100 to 300"_qs << false << u" - Inalid Send Buffer Size."_qs
                               << QString() << IntList{32};
    QTest::newRow("bad list") << u"16,,32 /2"_qs << false
                              << u"Invalid 0 value in the 'Values'."_qs << QString() << IntList{32};
    QTest::newRow("overflow") << u"1e12 bytes"_qs << false
                              << u"Overflow - Inalid Send Buffer Size."_qs << QString()
                              << IntList{32};
    // No echo can carry more; a larger buffer was allocated and copied per echo.
    QTest::newRow("largest single size") << u"65500 Bytes"_qs << true << QString() << QString()
                                         << IntList{65500};
    QTest::newRow("above 65,500 refused") << u"70000 Bytes"_qs << false
                                                  << u"Inalid Buffer Size Value."_qs << QString()
                                                  << IntList{32};
}

void TestPingSettings::sizeCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QFETCH(QString, message);
    QFETCH(QString, mode);
    QFETCH(IntList, sizes);
    PingSettings settings;
    settings.sizePlan = ParseMultipleSizeText(u"8,9 /2"_qs).plan; // left over from before
    const SettingCheck check = CheckSendSize(text, settings);
    QCOMPARE(check.passed, passes);
    QCOMPARE(check.message, message);
    QCOMPARE(settings.sizePlan.mode, mode);
    QCOMPARE(settings.sizePlan.sizes, sizes);
    if (mode.isEmpty())
        QCOMPARE(settings.sendSize, sizes.first());
    if (text == u"16,32,64,1024  Bytes")
        QCOMPARE(settings.sizePlan.repeat, 4);
    if (text.startsWith(u"Step up")) {
        QCOMPARE(settings.sizePlan.count, 1000);
        QCOMPARE(settings.sizePlan.increment, 32);
    }
}

void TestPingSettings::intervalCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("sequence");
    QTest::newRow("item") << u"600  Milliseconds"_qs << true << 600 << false;
    QTest::newRow("no unit") << u"1500"_qs << true << 1500 << false;
    QTest::newRow("half to even") << u"2.5"_qs << true << 2 << false;
    QTest::newRow("letters") << u"abc"_qs << false << 0 << false;
    QTest::newRow("negative") << u"-100"_qs << false << 0 << false;
    QTest::newRow("rounds to zero") << u"0.4"_qs << false << 0 << false;
    QTest::newRow("too large") << u"1e12"_qs << false << 0 << false;
    QTest::newRow("sequence") << u"1000 to 0, 10--, 1"_qs << true << 1000 << true;
    QTest::newRow("bad sequence") << u"1000 to 0"_qs << false << 0 << false;
}

void TestPingSettings::intervalCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QFETCH(int, interval);
    QFETCH(bool, sequence);
    PingSettings settings;
    settings.intervalSequence = ParseIntervalText(u"50 to 10, 5--, 1"_qs).sequence;
    const SettingCheck check = CheckInterval(text, settings);
    QCOMPARE(check.passed, passes);
    QCOMPARE(check.message, passes ? QString() : u"Inalid Test Interval."_qs);
    if (passes) {
        QCOMPARE(settings.interval, interval);
        QCOMPARE(settings.intervalSequence.active(), sequence);
    }
}

void TestPingSettings::numberChecks()
{
    PingSettings s;
    QVERIFY(CheckTimeOut(u"900  Milliseconds"_qs, s).passed);
    QCOMPARE(s.timeout, 900);
    for (const QString &bad : {u"0"_qs, u"-5"_qs, u"abc"_qs, u"0.2"_qs}) {
        s.timeout = 900;
        const SettingCheck c = CheckTimeOut(bad, s);
        QVERIFY2(!c.passed, qPrintable(bad));
        QCOMPARE(c.message, u"Inalid Time Out Value."_qs);
        QCOMPARE(s.timeout, 500);
    }

    QVERIFY(CheckTestTimes(u"Continually"_qs, s).passed);
    QCOMPARE(s.testTimes, 0);
    QVERIFY(CheckTestTimes(u" Continually "_qs, s).passed);
    QVERIFY(CheckTestTimes(u"8"_qs, s).passed);
    QCOMPARE(s.testTimes, 8);
    for (const QString &bad : {u"continually"_qs, u"0"_qs, u"-3"_qs, u""_qs}) {
        s.testTimes = 8;
        const SettingCheck c = CheckTestTimes(bad, s);
        QVERIFY2(!c.passed, qPrintable(bad));
        QCOMPARE(c.message, u"Inalid Test Times."_qs);
        QCOMPARE(s.testTimes, 0);
    }

    QVERIFY(CheckRepeatPerTarget(u"3"_qs, s).passed);
    QCOMPARE(s.repeatPerTarget, 3);
    for (const QString &bad : {u"0"_qs, u"-1"_qs, u"x"_qs}) {
        s.repeatPerTarget = 3;
        const SettingCheck c = CheckRepeatPerTarget(bad, s);
        QVERIFY2(!c.passed, qPrintable(bad));
        QCOMPARE(c.message, u"Inalid Value of Repeat Per IP."_qs);
        QCOMPARE(s.repeatPerTarget, 0);
    }
}

void TestPingSettings::total_data()
{
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("times");
    QTest::addColumn<QString>("expected");
    QTest::newRow("3 x 8") << u"3"_qs << u"8"_qs << u"Total: 24"_qs;
    QTest::newRow("continually") << u"1"_qs << u"Continually"_qs << QString();
    QTest::newRow("half to even down") << u"2.5"_qs << u"1"_qs << u"Total: 2"_qs;
    QTest::newRow("half to even up") << u"3.5"_qs << u"1"_qs << u"Total: 4"_qs;
    QTest::newRow("below one") << u"0.5"_qs << u"1"_qs << QString();
    QTest::newRow("negative") << u"-2"_qs << u"4"_qs << QString();
    QTest::newRow("large") << u"100"_qs << u"100000"_qs << u"Total: 10000000"_qs;
}

void TestPingSettings::total()
{
    QFETCH(QString, repeat);
    QFETCH(QString, times);
    QFETCH(QString, expected);
    QCOMPARE(TotalText(repeat, times), expected);
}


// The size step length goes into the result file's header as a 32-bit number; a
// plan whose length leaves that range is refused at Start.
void TestPingSettings::sizeStepLength_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<qint64>("targets");
    QTest::addColumn<int>("length"); // -1: refused
    QTest::newRow("one size") << u"32  Bytes"_qs << qint64(70000) << 1;
    QTest::newRow("largest that fits") << u"16,32 /32767"_qs << qint64(65538) << 2147483646;
    QTest::newRow("one target more") << u"16,32 /32767"_qs << qint64(65539) << -1;
    QTest::newRow("steps") << u"32 to 64, 32++, 32767"_qs << qint64(65539) << -1;
}

void TestPingSettings::sizeStepLength()
{
    QFETCH(QString, size);
    QFETCH(qint64, targets);
    QFETCH(int, length);
    PingSettings settings;
    QVERIFY(CheckSendSize(size, settings).passed);
    const std::optional<int> got = PingsPerSize(settings.sizePlan, targets);
    QCOMPARE(got.value_or(-1), length);
}
QTEST_GUILESS_MAIN(TestPingSettings)
#include "tst_pingsettings.moc"
