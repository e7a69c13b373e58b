#pragma once
// The settings of a ping test as the five settings boxes give them: interval,
// time-out, send size (or a size sequence), test times and repeat per target. The
// box texts are checked one by one (CommandStart_Click runs the five checks in the
// order of CheckOrder and stops at the first refusal); each check updates the
// settings, including the fallback value a refusal leaves behind, and returns the
// message for the user. ApplyPingSettings hands checked settings to the run loop.

#include "ping/sequences.h"

#include <QString>
#include <QStringList>

namespace netvane {

class PingTest;

struct PingSettings {
    int interval = 600;              // ms; the period of Timer1
    IntervalSequence intervalSequence;
    int timeout = 500;               // ms
    SendSizePlan sizePlan;           // one size of 32 bytes at first
    int sendSize = 32;
    int testTimes = 0;               // 0: until stopped
    int repeatPerTarget = 1;
};

struct SettingCheck {
    bool passed = true;
    QString message; // shown as a stop box when not empty
    QString allowed; // what the box may hold, said below a refusal's message
    // The text of the box: the message, then what is allowed.
    QString boxText() const { return allowed.isEmpty() ? message : message + u"\n\n"_qs + allowed; }
};

// What each setting may be, the tail of its refusals; the traceroute's time-out box
// takes the same time-outs as the ping's.
QString IntervalAllowed();
QString TimeOutAllowed();
QString SendSizeAllowed();
QString TestTimesAllowed();
QString RepeatAllowed();

// The items of the five boxes and the item each starts on.
QStringList IntervalItems();
QStringList TimeOutItems();
QStringList SizeItems();
QStringList TestTimesItems();
QStringList RepeatItems();
inline constexpr int IntervalStartItem = 14;  // "600  Milliseconds"
inline constexpr int TimeOutStartItem = 14;
inline constexpr int SizeStartItem = 2;       // "32  Bytes"
inline const QString ContinuallyText = QStringLiteral("Continually");
inline const QString AdvancedText = QStringLiteral("Advanced");
inline const QString FourSizesItem = QStringLiteral("16,32,64,1024  Bytes");
inline const QString StepUpItem = QStringLiteral("Step up with 32 Bytes");
// The largest single send size a typed text may ask for.
inline constexpr int MaxSingleSendSize = 65500;

SettingCheck CheckInterval(const QString &text, PingSettings &settings);
SettingCheck CheckSendSize(const QString &text, PingSettings &settings);
SettingCheck CheckTimeOut(const QString &text, PingSettings &settings);
SettingCheck CheckTestTimes(const QString &text, PingSettings &settings);
SettingCheck CheckRepeatPerTarget(const QString &text, PingSettings &settings);
// "Outage after N lost echoes": empty for 3, else a whole number from 1 to 1000.
QString OutageAfterAllowed();
SettingCheck CheckOutageAfter(const QString &text, int &lostEchoes);

// The message of an edit of the interval box ("Advanced" is handled by the caller);
// empty when the text may stand.
QString IntervalEditMessage(const QString &text);

// "Total: n" for the repeat and test times texts; empty when the total is below 1.
QString TotalText(const QString &repeatText, const QString &timesText);

// Copies checked settings into the run loop and the echo time-out.
void ApplyPingSettings(const PingSettings &settings, PingTest &test);

} // namespace netvane
