#pragma once
// The summary report of the last ping test: every host's echoes cut into groups, by
// time period (a number of minutes from the group's first echo) or by send size (one
// group per size of the size sequence), each with its sent and lost counts, loss rate,
// average time and TTL, and a text bar of the loss rate; and its two export layouts.
//
// The echoes are read in one pass through the log's reader, with one open group per
// host, so a test of any length is reported without a copy of its log. With N hosts
// and repeat R, echo r belongs to host (r / R) mod N. The result file is read in
// blocks of whole rows; each block is cut into stretches of a host's echoes that fall
// in one group (one minute, one size) on the thread that read it, and the stretches
// are counted into the groups in order.

#include "ping/outagefinder.h"
#include "ping/replyrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace netvane {

enum class ReportGrouping { TimePeriod = 0, SendSize = 1 };

struct ReportGroup {
    PingReplyRecord first, last; // the first and the last echo counted
    int size = 0;                // the send size (by send size)
    qint64 sent = 0;
    qint64 lost = 0;
    qint64 timeSum = 0; // while counting
    qint64 ttlSum = 0;
    // Set when the group is closed.
    QString lossText = u"--------"_qs; // "12.50 % ": eight characters
    qint32 avgTime = -1;               // -1: nothing answered; 0: under a millisecond
    qint32 avgTtl = 0;

    void close();
};

struct ReportHost {
    QString address;
    QString display; // the target as listed
    QString kind = QStringLiteral("Ping"); // what its heading row names: "Ping", "Path"
    QList<ReportGroup> groups;
};

struct ReportSource {
    const PingReplyLog *log = nullptr;
    QStringList targets; // display texts, in test order
    int repeat = 1;
    int pingsPerSize = 1; // target visits with one send size
    int sizeCount = 1;    // sizes in the sequence; 0: not known, group by the sizes met
    std::shared_ptr<const OutageFinder> outages; // the test's; none: no outage section
};

struct SummaryReport {
    ReportGrouping grouping = ReportGrouping::TimePeriod;
    QList<ReportHost> hosts;
    PingReplyRecord testStart; // the test's first echo
    std::shared_ptr<const OutageFinder> outages;
};

// Called every few thousand echoes, so the window can repaint.
using ReportProgress = std::function<void()>;

enum class ReportResult { Built, NoData, Incomplete, ReadFailed };

// Builds the report in one pass. NoData: the log is empty; Incomplete: fewer echoes
// than hosts; ReadFailed: the log's file could not be read (error says why).
ReportResult BuildSummaryReport(const ReportSource &source, ReportGrouping grouping,
                                int groupMinutes, SummaryReport &report,
                                const ReportProgress &progress = {}, QString *error = nullptr);

// Minutes from a to b: whole days by the calendar, hours and minutes; seconds ignored.
qint64 MinutesBetween(const PingReplyRecord &a, const PingReplyRecord &b);

// The opening value of the group-by box: the test's length in minutes div 10, at least 1.
int OpeningGroupMinutes(const PingReplyLog &log);

// The value of the group-by box's text: its numeric value, 1 for 0 or no number.
int GroupMinutesOf(const QString &text);

// The bar of the loss text ("12.50 %"): one "=" per 5 %, rounded; "-- Error --" when
// the rate cannot be read.
QString LossChartBar(const QString &lossText);

// "<1 ms", "---" or "12 ms".
QString AverageTimeText(qint32 avgTime);

// The rows of the seven report columns, host by host: two empty rows, the host's
// heading, one more empty row, then a row per group. Computed on demand, so the
// columns hold nothing beyond the groups.
inline constexpr int ReportHeadingRows = 4;
qsizetype ReportRowCount(const SummaryReport &report);
QString ReportCellText(const SummaryReport &report, int column, qsizetype row);
// Every row of the seven columns at once (tests, small reports).
struct ReportColumns {
    QStringList column[7];
};
ReportColumns ReportListRows(const SummaryReport &report);
// The header of the first column.
QString ReportFirstHeader(ReportGrouping grouping);

// The text layout ends with an "Outages" section when the report has the test's
// outages: per target its totals and a line per outage.
QStringList ReportTextLines(const SummaryReport &report);
QStringList ReportCsvLines(const SummaryReport &report);
// The outages' own CSV: a line per outage (target, start, end or "ongoing", seconds,
// echoes lost), by start.
QStringList ReportOutageCsvLines(const SummaryReport &report);
// Beside the report's CSV at `path`: "Ping_Test_Report_12071005.csv" ->
// "Ping_Test_Report_12071005_Outages.csv".
QString ReportOutageCsvPath(const QString &reportPath);

// "Ping_Test_Report_" + month, day, hour and minute of the test's first echo.
QString ReportFileName(const SummaryReport &report);

} // namespace netvane
