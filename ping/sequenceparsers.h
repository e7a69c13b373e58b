#pragma once
// Stepped send sizes and intervals as texts. The sequence dialogs check what the user
// entered and write a text form into the size or interval box ("32 to 32000, 32++, 1",
// "16,32,64 /4", "1000 to 0, 10--, 1"); at start the size and interval checks hand
// such a text back to the parsers here, which rebuild the plan the run loop walks.

#include "ping/sequences.h"

#include <QString>

namespace netvane {

// The result of a parse or a dialog check. `message` is what the user is shown when
// it fails; `unexpected` marks a failure of the arithmetic itself (an overflow, a
// division by zero), which the dialogs show as a warning instead of a stop.
struct SizeSequenceResult {
    bool ok = false;
    QString message;
    bool unexpected = false;
    SendSizePlan plan;
};

struct IntervalSequenceResult {
    bool ok = false;
    QString message;
    bool unexpected = false;
    IntervalSequence sequence;
};

inline constexpr int MaxSendSize = 32000;
// Counts and repeats of a plan are kept as 16-bit numbers in the result file.
inline constexpr int MaxPlanCount = 32767;

// One size, no sequence.
SendSizePlan SingleSizePlan(int size);

// True for the values-list form "any text, a comma, any text, a slash, any text".
bool IsMultipleSizeText(const QString &text);

// "from to to, increment++, repeat", typed or stored.
SizeSequenceResult ParseIncrementalSizeText(const QString &text);
// "v1,v2,... /repeat", typed or stored.
SizeSequenceResult ParseMultipleSizeText(const QString &text);
// "from to to, increment++|--, repeat"; the increment comes back negative when stepping down.
IntervalSequenceResult ParseIntervalText(const QString &text);

// The checks of the size dialog's OK button, on the texts of its boxes.
SizeSequenceResult CheckIncrementalSizes(const QString &from, const QString &to,
                                         const QString &increment, const QString &repeat);
SizeSequenceResult CheckMultipleSizes(const QString &values, const QString &repeat);
// The interval dialog's OK button (it checks nothing but the arithmetic).
IntervalSequenceResult IntervalFromDialog(const QString &from, const QString &to,
                                          const QString &increment, const QString &repeat);

// The text forms written into the boxes.
QString IncrementalSizeText(const SendSizePlan &plan);
QString IntervalText(const IntervalSequence &sequence);

} // namespace netvane
