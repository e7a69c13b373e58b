#include "app/schedule.h"

#include <QRegularExpression>

namespace netvane {

QDateTime SystemClock()
{
    return QDateTime::currentDateTime();
}

ScheduleMinute ScheduleMinute::of(const QDateTime &at)
{
    const QDate d = at.date();
    const QTime t = at.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute()};
}

QString ScheduleText(const ScheduleMinute &at)
{
    const auto two = [](int v) { return u"%1"_qs.arg(v, 2, 10, QLatin1Char('0')); };
    return two(at.month) + u'/' + two(at.day) + u'/' + QString::number(at.year) + u' '
           + two(at.hour) + u':' + two(at.minute) + u":00"_qs;
}

std::optional<ScheduleMinute> ReadScheduleText(const QString &text)
{
    // Read by position, never through the locale: the boxes are always month first.
    static const QRegularExpression form(
        u"^(\\d{1,2})/(\\d{1,2})/(\\d{4}) (\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"_qs);
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const ScheduleMinute at{m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt(),
                            m.captured(4).toInt(), m.captured(5).toInt()};
    if (!QDate::isValid(at.year, at.month, at.day)
        || !QTime::isValid(at.hour, at.minute, m.captured(6).toInt()))
        return std::nullopt;
    return at;
}

bool ScheduleDue(const QDateTime &now, const ScheduleMinute &at)
{
    return ScheduleMinute::of(now) >= at;
}

} // namespace netvane
