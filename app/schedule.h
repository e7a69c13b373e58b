#pragma once
// The clock side of the scheduled start: the texts of the start and end boxes
// ("MM/DD/YYYY HH:mm:00", month first whatever the locale), reading a picked text back
// as a date, and the rule that says when a stored minute has come. The schedule
// controls (SchedulePanel) and the ping run loop's scheduled stop use these.

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace netvane {

// The present time; tests put a clock of their own in its place.
using Clock = std::function<QDateTime()>;
QDateTime SystemClock();

// A minute of the schedule: its parts as stored, compared part by part.
struct ScheduleMinute {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    static ScheduleMinute of(const QDateTime &at);
    auto operator<=>(const ScheduleMinute &) const = default;
};

// month "/" day "/" year " " hour ":" minute ":00", every part but the year padded to
// two digits.
QString ScheduleText(const ScheduleMinute &at);

// The parts of a picked text, month first; nothing when the text is no real date or
// time (02/30, a 13th month, 24:00 ...) or not of that form.
std::optional<ScheduleMinute> ReadScheduleText(const QString &text);

// The stored minute has come: `now` is in that minute or later. Seconds do not count.
bool ScheduleDue(const QDateTime &now, const ScheduleMinute &at);

} // namespace netvane
