#include "ping/pingsettings.h"

#include "ping/numericvalue.h"
#include "ping/outagefinder.h"
#include "ping/pingtest.h"
#include "ping/sequenceparsers.h"
#include "probe/echoprobe.h"

#include <cmath>

namespace netvane {

namespace {

const QString InalidTestInterval = u"Inalid Test Interval."_qs;
const QString InalidTimeOut = u"Inalid Time Out Value."_qs;
const QString InalidBufferSize = u"Inalid Buffer Size Value."_qs;
const QString InalidTestTimes = u"Inalid Test Times."_qs;
const QString InalidRepeat = u"Inalid Value of Repeat Per IP."_qs;

SettingCheck refused(const QString &message, const QString &allowed = QString())
{
    return {false, message, allowed};
}

} // namespace

QString IntervalAllowed()
{
    return u"The interval is a whole number of milliseconds from 1 up, or a sequence of "_qs
           u"intervals made with the A button beside it."_qs;
}

QString TimeOutAllowed()
{
    return u"The time-out is a whole number of milliseconds from 1 up."_qs;
}

QString SendSizeAllowed()
{
    return u"The send buffer size is a whole number of bytes from 1 to "_qs
           + QString::number(MaxSingleSendSize)
           + u", or a sequence of sizes made with the A button beside it."_qs;
}

QString TestTimesAllowed()
{
    return u"Test Times is Continually (until stopped) or a whole number of passes from 1 up."_qs;
}

QString RepeatAllowed()
{
    return u"Repeat Per IP is a whole number of echoes from 1 up."_qs;
}

QStringList IntervalItems()
{
    QStringList items;
    for (int i = 1; i <= 9; ++i)
        items << QString::number(i) + u"0  Milliseconds"_qs;
    for (int i = 1; i <= 9; ++i)
        items << QString::number(i) + u"00  Milliseconds"_qs;
    for (int i = 1; i <= 60; ++i)
        items << QString::number(i) + u"000  Milliseconds"_qs;
    items << AdvancedText;
    return items;
}

QStringList TimeOutItems()
{
    QStringList items;
    for (const QString &zeros : {u"0"_qs, u"00"_qs, u"000"_qs}) {
        for (int i = 1; i <= 9; ++i)
            items << QString::number(i) + zeros + u"  Milliseconds"_qs;
    }
    return items;
}

QStringList SizeItems()
{
    QStringList items;
    for (int size : {8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32000})
        items << QString::number(size) + u"  Bytes"_qs;
    items << FourSizesItem << StepUpItem << AdvancedText;
    return items;
}

QStringList TestTimesItems()
{
    QStringList items{ContinuallyText};
    for (int n : {1, 2, 4, 8, 16, 32, 64, 128, 256, 500, 1000, 2000, 4000, 8000, 16000, 32000,
                  64000, 100000})
        items << QString::number(n);
    return items;
}

QStringList RepeatItems()
{
    QStringList items;
    for (int i = 1; i <= 100; ++i)
        items << QString::number(i);
    return items;
}

SettingCheck CheckInterval(const QString &input, PingSettings &settings)
{
    const QString text = input.toLower().trimmed();
    if (text.contains(u"to"_qs)) {
        const IntervalSequenceResult parsed = ParseIntervalText(text);
        if (!parsed.ok)
            return refused(parsed.message, IntervalAllowed());
        settings.intervalSequence = parsed.sequence;
        settings.interval = parsed.sequence.currentInterval;
        return {};
    }
    // The timer cannot run with a period below 1 ms, so a negative or fractional
    // value that comes down to 0 is refused like a zero.
    const std::optional<int> interval = WholeNumberOf(text);
    if (NumericValue(text) == 0 || !interval || *interval < 1)
        return refused(InalidTestInterval, IntervalAllowed());
    settings.interval = *interval;
    settings.intervalSequence = IntervalSequence{};
    return {};
}

QString IntervalEditMessage(const QString &text)
{
    return NumericValue(text) == 0 ? InalidTestInterval : QString();
}

SettingCheck CheckSendSize(const QString &input, PingSettings &settings)
{
    const QString text = input.toLower().trimmed();
    SizeSequenceResult parsed;
    if (text == FourSizesItem.toLower()) {
        parsed.ok = true;
        parsed.plan.mode = u"Multiple"_qs;
        parsed.plan.sizes = {16, 32, 64, 1024};
        parsed.plan.count = 4;
        parsed.plan.repeat = 4;
        parsed.plan.valuesText = u"16,32,64,1024 /4"_qs;
    } else if (text == StepUpItem.toLower()) {
        parsed = ParseIncrementalSizeText(u"32 to 32000, 32++, 1"_qs);
    } else if (text.contains(u"to"_qs)) {
        parsed = ParseIncrementalSizeText(text);
    } else if (!IsMultipleSizeText(text)) {
        QString number = text;
        number.remove(u"bytes"_qs);
        const std::optional<int> size = WholeNumberOf(number);
        if (!size) {
            settings.sizePlan = SingleSizePlan(32);
            settings.sendSize = 32;
            return refused(u"Overflow - Inalid Send Buffer Size."_qs, SendSizeAllowed());
        }
        // An echo carries at most MaxSingleSendSize bytes of data; a larger buffer
        // could never be sent. A size that is none ("abc", 0) is refused like any other
        // setting that is none, not replaced by 32 behind the user's back.
        if (*size < 1 || *size > MaxSingleSendSize) {
            settings.sizePlan = SingleSizePlan(32);
            settings.sendSize = 32;
            return refused(InalidBufferSize, SendSizeAllowed());
        }
        settings.sizePlan = SingleSizePlan(*size);
        settings.sendSize = *size;
        return {};
    } else {
        parsed = ParseMultipleSizeText(text);
    }

    settings.sizePlan = parsed.plan;
    if (!parsed.ok) {
        settings.sendSize = 32;
        return refused(parsed.message, SendSizeAllowed());
    }
    return {};
}

SettingCheck CheckTimeOut(const QString &text, PingSettings &settings)
{
    const std::optional<int> timeout = WholeNumberOf(text);
    if (NumericValue(text) == 0 || !timeout || *timeout < 1) {
        settings.timeout = 500;
        return refused(InalidTimeOut, TimeOutAllowed());
    }
    settings.timeout = *timeout;
    return {};
}

SettingCheck CheckTestTimes(const QString &text, PingSettings &settings)
{
    if (text.trimmed() == ContinuallyText) {
        settings.testTimes = 0;
        return {};
    }
    // Only the word stands for "until stopped"; a count must be at least one pass.
    const std::optional<int> times = WholeNumberOf(text);
    if (!times || *times < 1) {
        settings.testTimes = 0;
        return refused(InalidTestTimes, TestTimesAllowed());
    }
    settings.testTimes = *times;
    return {};
}

SettingCheck CheckRepeatPerTarget(const QString &text, PingSettings &settings)
{
    const std::optional<int> repeat = WholeNumberOf(text);
    if (!repeat || *repeat < 1) {
        settings.repeatPerTarget = 0;
        return refused(InalidRepeat, RepeatAllowed());
    }
    settings.repeatPerTarget = *repeat;
    return {};
}

QString OutageAfterAllowed()
{
    return u"Outage after N lost echoes is a whole number of echoes from 1 to 1000."_qs;
}

SettingCheck CheckOutageAfter(const QString &text, int &lostEchoes)
{
    lostEchoes = DefaultOutageAfter;
    if (text.trimmed().isEmpty())
        return {};
    // The whole text must be the number: a setting of its own, typed, not a box's item.
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < MinOutageAfter || n > MaxOutageAfter)
        return refused(u"Invalid Outage after N lost echoes: \""_qs + text.trimmed() + u"\"."_qs,
                       OutageAfterAllowed());
    lostEchoes = n;
    return {};
}

QString TotalText(const QString &repeatText, const QString &timesText)
{
    const double total = NumericValue(repeatText) * NumericValue(timesText);
    if (!(total >= 1))
        return {};
    return u"Total: "_qs + PlainNumber(std::nearbyint(total));
}

void ApplyPingSettings(const PingSettings &settings, PingTest &test)
{
    test.interval = settings.interval;
    test.intervalSequence = settings.intervalSequence;
    test.sizePlan = settings.sizePlan;
    test.testTimes = settings.testTimes;
    test.repeatPerTarget = settings.repeatPerTarget;
    PingTimeout = settings.timeout;
}

} // namespace netvane
