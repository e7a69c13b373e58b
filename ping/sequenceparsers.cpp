#include "ping/sequenceparsers.h"

#include "ping/numericvalue.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace netvane {

namespace {

const QString SizeFailureTail = u" - Inalid Send Buffer Size."_qs;
const QString InalidSendBufferSize = u"Inalid Send Buffer Size."_qs;
const QString InalidTestInterval = u"Inalid Test Interval."_qs;
const QString RepeatTooSmall =
    u"Invalid Value of 'Repeat times for each value', the min value is 1."_qs;

SizeSequenceResult sizeFailure(const QString &message, bool unexpected = false)
{
    SizeSequenceResult result;
    result.message = message;
    result.unexpected = unexpected;
    result.plan = SingleSizePlan(32);
    return result;
}

IntervalSequenceResult intervalFailure(const QString &message, bool unexpected = false)
{
    IntervalSequenceResult result;
    result.message = message;
    result.unexpected = unexpected;
    return result;
}

// Splits "from to to" of a sequence text; false when there is no "to".
bool splitFromTo(const QString &part, QString *from, QString *to)
{
    const qsizetype at = part.indexOf(u"to"_qs);
    if (at < 0)
        return false;
    *from = part.left(at).trimmed();
    *to = part.mid(at + 2, 99).trimmed();
    return true;
}

// The values of a list text: digits and commas only, one leading and one trailing
// comma dropped. Returns the position of the first character that is neither, or -1
// (a position, not the character: a pasted NUL is a bad character too).
qsizetype cleanValues(QString *values)
{
    values->remove(u' ');
    if (values->startsWith(u','))
        values->remove(0, 1);
    if (values->endsWith(u','))
        values->chop(1);
    for (qsizetype i = 0; i < values->size(); ++i) {
        const QChar c = values->at(i);
        if (!(c >= u'0' && c <= u'9') && c != u',')
            return i;
    }
    return -1;
}

// True when every interval the stepping can reach before it ends stays a 32-bit
// number: stepping up passes `to` by less than one step, stepping down likewise.
bool stepsStayInRange(qint64 from, qint64 to, qint64 increment)
{
    constexpr qint64 Low = std::numeric_limits<int>::min();
    constexpr qint64 High = std::numeric_limits<int>::max();
    const qint64 reach = increment > 0 ? std::max(from, to) + increment
                                       : std::min(from, to) + increment;
    return reach >= Low && reach <= High;
}

// Fills the plan's sizes from cleaned values; a message when one is 0 or too big.
QString takeValues(const QString &values, SendSizePlan *plan)
{
    plan->sizes.clear();
    const QStringList items = values.split(u',');
    if (items.size() > MaxPlanCount)
        return u"Overflow"_qs;
    for (const QString &item : items) {
        const double value = NumericValue(item);
        const std::optional<int> whole = WholeNumber(value);
        if (whole && *whole == 0)
            return u"Invalid 0 value in the 'Values'."_qs;
        if (!whole || *whole > MaxSendSize)
            return u"Invalid value '"_qs + PlainNumber(std::nearbyint(value))
                   + u"' in the 'Values', the max value is 32000."_qs;
        plan->sizes.append(*whole);
    }
    plan->count = int(plan->sizes.size());
    plan->mode = u"Multiple"_qs;
    return {};
}

} // namespace

SendSizePlan SingleSizePlan(int size)
{
    SendSizePlan plan;
    plan.mode.clear();
    plan.from = plan.to = size;
    plan.count = 1;
    plan.repeat = 1;
    plan.sizes = {size};
    return plan;
}

bool IsMultipleSizeText(const QString &text)
{
    static const QRegularExpression pattern(u"^.*,.*/.*$"_qs,
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(text).hasMatch();
}

namespace {

// The four numbers of "from to to, step, repeat"; nothing when the text has not that
// shape. A number that does not fit a whole number is left empty.
struct StepText {
    std::optional<int> from, to, increment, repeat;
};

std::optional<StepText> ReadStepText(const QString &input)
{
    const QString text = input.toLower().trimmed();
    const QStringList parts = text.split(u',');
    QString fromText;
    QString toText;
    if (parts.size() != 3 || !splitFromTo(parts.at(0), &fromText, &toText))
        return std::nullopt;
    return StepText{WholeNumberOf(fromText), WholeNumberOf(toText), WholeNumberOf(parts.at(1)),
                    WholeNumberOf(parts.at(2))};
}

} // namespace

SizeSequenceResult ParseIncrementalSizeText(const QString &input)
{
    const std::optional<StepText> step = ReadStepText(input);
    if (!step)
        return sizeFailure(SizeFailureTail);
    const auto &[from, to, increment, repeat] = *step;
    if (!from || !to || !increment || !repeat || *repeat > MaxPlanCount)
        return sizeFailure(u"Overflow"_qs + SizeFailureTail, true);
    if (*increment == 0)
        return sizeFailure(u"Division by zero"_qs + SizeFailureTail, true);
    // A typed text is not held to the dialog's rules, but a plan with no sizes, sizes
    // that cannot be sent, or no echo per size cannot run.
    if (*repeat < 1)
        return sizeFailure(RepeatTooSmall);
    const qint64 span = qint64(*to) - *from;
    const qint64 count = 1 + span / *increment;
    const qint64 last = *from + (count - 1) * qint64(*increment);
    if (count < 1 || count > MaxPlanCount || *from < 1 || *from > MaxSendSize || last < 1
        || last > MaxSendSize)
        return sizeFailure(InalidSendBufferSize);

    SizeSequenceResult result;
    result.ok = true;
    SendSizePlan &plan = result.plan;
    plan.mode = u"Incremental"_qs;
    plan.from = *from;
    plan.to = *to;
    plan.increment = *increment;
    plan.span = int(span);
    plan.repeat = *repeat;
    plan.count = int(count);
    plan.sizes = {*from};
    return result;
}

SizeSequenceResult ParseMultipleSizeText(const QString &input)
{
    const QString text = input.toLower().trimmed();
    const qsizetype slash = text.indexOf(u'/');
    const std::optional<int> repeat = WholeNumberOf(text.mid(slash + 1, 99));
    QString values = text.left(slash);
    const qsizetype bad = cleanValues(&values);
    if (values.isEmpty())
        return sizeFailure(InalidSendBufferSize);
    if (bad >= 0)
        return sizeFailure(u"Inalid Send Buffer Size, Invalid Character '"_qs + values.at(bad)
                           + u"."_qs);
    if (!repeat || *repeat > MaxPlanCount)
        return sizeFailure(u"Overflow"_qs + SizeFailureTail, true);
    if (*repeat <= 0)
        return sizeFailure(RepeatTooSmall);

    SizeSequenceResult result;
    const QString problem = takeValues(values, &result.plan);
    if (!problem.isEmpty())
        return sizeFailure(problem);
    result.ok = true;
    result.plan.repeat = *repeat;
    result.plan.valuesText = values + u" /"_qs + QString::number(*repeat);
    return result;
}

IntervalSequenceResult ParseIntervalText(const QString &input)
{
    const std::optional<StepText> step = ReadStepText(input);
    if (!step)
        return intervalFailure(InalidTestInterval);
    const auto &[from, to, increment, repeat] = *step;
    if (!from || !to || !increment || !repeat || *repeat > MaxPlanCount
        || *increment == std::numeric_limits<int>::min())
        return intervalFailure(InalidTestInterval);
    // The timer cannot run with a period below 1 ms.
    if (*from < 1)
        return intervalFailure(InalidTestInterval);

    IntervalSequenceResult result;
    result.ok = true;
    IntervalSequence &seq = result.sequence;
    seq.mode = u"Increment"_qs;
    seq.from = *from;
    seq.to = *to;
    seq.repeat = *repeat;
    const qint64 span = qint64(*from) - *to;
    if (span < 0) {
        seq.span = int(-span);
        seq.increment = *increment;
    } else {
        seq.span = int(qMin<qint64>(span, std::numeric_limits<int>::max()));
        seq.increment = -*increment;
    }
    if (!stepsStayInRange(seq.from, seq.to, seq.increment))
        return intervalFailure(InalidTestInterval);
    seq.currentInterval = *from;
    return result;
}

SizeSequenceResult CheckIncrementalSizes(const QString &fromText, const QString &toText,
                                         const QString &incrementText,
                                         const QString &repeatText)
{
    const double from = NumericValue(fromText);
    const double to = NumericValue(toText);
    const double increment = NumericValue(incrementText);
    if (from <= 0)
        return sizeFailure(u"Invalid Value of 'Send buffer size from'."_qs);
    if (from > MaxSendSize)
        return sizeFailure(u"Invalid Value of 'Send buffer size from', the max size is 32000."_qs);
    if (to <= 0)
        return sizeFailure(u"Invalid Value of 'Send buffer size to'."_qs);
    if (to > MaxSendSize)
        return sizeFailure(u"Invalid Value of 'Send buffer size to', the max size is 32000."_qs);
    const double span = to - from;
    if (span <= 0)
        return sizeFailure(u"Invalid Value of 'Send buffer size'."_qs);
    if (increment <= 0)
        return sizeFailure(u"Invalid Value of 'Increment  value'."_qs);
    if (increment > span)
        return sizeFailure(u"Invalid Value of 'Increment  value', the max size is "_qs
                           + PlainNumber(span) + u"."_qs);
    const std::optional<int> repeat = WholeNumberOf(repeatText);
    if (!repeat || *repeat > MaxPlanCount)
        return sizeFailure(u"Overflow"_qs, true);
    if (*repeat < 1)
        return sizeFailure(RepeatTooSmall);
    const int wholeSpan = WholeNumber(span).value_or(0);
    const int wholeIncrement = WholeNumber(increment).value_or(0);
    if (wholeIncrement == 0)
        return sizeFailure(u"Division by zero"_qs, true);

    SizeSequenceResult result;
    result.ok = true;
    SendSizePlan &plan = result.plan;
    plan.mode = u"Incremental"_qs;
    plan.from = WholeNumber(from).value_or(0);
    plan.to = WholeNumber(to).value_or(0);
    plan.increment = wholeIncrement;
    plan.span = wholeSpan;
    plan.repeat = *repeat;
    plan.count = 1 + wholeSpan / wholeIncrement;
    plan.sizes = {plan.from};
    return result;
}

SizeSequenceResult CheckMultipleSizes(const QString &valuesText, const QString &repeatText)
{
    QString values = valuesText;
    const qsizetype bad = cleanValues(&values);
    if (values.isEmpty())
        return sizeFailure(u"Please enter the 'Values'."_qs);
    if (bad >= 0)
        return sizeFailure(u"Invalid Character '"_qs + values.at(bad) + u"' in the 'Values'."_qs);
    const std::optional<int> repeat = WholeNumberOf(repeatText);
    if (!repeat || *repeat > MaxPlanCount)
        return sizeFailure(u"Overflow"_qs, true);
    if (*repeat < 1)
        return sizeFailure(RepeatTooSmall);

    SizeSequenceResult result;
    const QString problem = takeValues(values, &result.plan);
    if (!problem.isEmpty())
        return sizeFailure(problem, problem == u"Overflow");
    result.ok = true;
    result.plan.repeat = *repeat;
    result.plan.valuesText = values + u" /"_qs + QString::number(*repeat);
    return result;
}

IntervalSequenceResult IntervalFromDialog(const QString &fromText, const QString &toText,
                                          const QString &incrementText,
                                          const QString &repeatText)
{
    const std::optional<int> from = WholeNumberOf(fromText);
    const std::optional<int> to = WholeNumberOf(toText);
    const std::optional<int> increment = WholeNumberOf(incrementText);
    const std::optional<int> repeat = WholeNumberOf(repeatText);
    if (!from || !to || !increment || !repeat || *repeat > MaxPlanCount)
        return intervalFailure(u"Overflow"_qs, true);
    // The direction of the stepping is taken from the ends at start.
    const qint64 step = *from < *to ? qint64(*increment) : -qint64(*increment);
    if (!stepsStayInRange(*from, *to, step))
        return intervalFailure(u"Overflow"_qs, true);

    IntervalSequenceResult result;
    result.ok = true;
    IntervalSequence &seq = result.sequence;
    seq.mode = u"Increment"_qs;
    seq.from = *from;
    seq.to = *to;
    seq.increment = *increment;
    seq.repeat = *repeat;
    seq.span = int(qBound(qint64(std::numeric_limits<int>::min()), qint64(*from) - *to,
                                  qint64(std::numeric_limits<int>::max())));
    seq.currentInterval = *from;
    return result;
}

QString IncrementalSizeText(const SendSizePlan &plan)
{
    return QString::number(plan.from) + u" to "_qs + QString::number(plan.to) + u", "_qs
           + QString::number(plan.increment) + u"++, "_qs + QString::number(plan.repeat);
}

QString IntervalText(const IntervalSequence &sequence)
{
    const QString direction = sequence.from < sequence.to ? u"++"_qs : u"--"_qs;
    return QString::number(sequence.from) + u" to "_qs + QString::number(sequence.to) + u", "_qs
           + QString::number(sequence.increment) + direction + u", "_qs
           + QString::number(sequence.repeat);
}

} // namespace netvane
