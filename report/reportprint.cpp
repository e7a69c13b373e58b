#include "report/reportprint.h"

#include "ping/latencystats.h"
#include "ping/replyrecord.h"

namespace netvane {

namespace {

QString cell(const QString &text, const char *align = "right")
{
    return u"<td align=\"%1\">%2</td>"_qs.arg(QLatin1StringView(align), text.toHtmlEscaped());
}

// The chart bar: one block per 5 %, as the dialog's "=" bar, in a row of twenty.
QString chartCell(const QString &lossText)
{
    const qsizetype blocks = LossChartBar(lossText).count(u'=');
    return u"<td><span style=\"color:#c00000\">"_qs + QString(blocks, QChar(0x2588))
           + u"</span><span style=\"color:#d0d0d0\">"_qs + QString(20 - qMin<qsizetype>(blocks, 20), QChar(0x2588))
           + u"</span></td>"_qs;
}

} // namespace

QString ReportPrintHtml(const SummaryReport &report, int groupMinutes)
{
    const bool byTime = report.grouping == ReportGrouping::TimePeriod;
    const PingReplyRecord *last = nullptr;
    QStringList targets;
    for (const ReportHost &host : report.hosts) {
        targets << host.display;
        for (const ReportGroup &g : host.groups)
            if (!last || EchoSeconds(g.last) > EchoSeconds(*last))
                last = &g.last;
    }
    QString html = u"<html><body style=\"font-family:sans-serif\">"_qs;
    html += u"<h2>Ping Test Summary Report</h2>"_qs;
    html += u"<table cellspacing=\"0\" cellpadding=\"2\">"_qs;
    html += u"<tr><td><b>Targets:</b></td><td>"_qs + targets.join(u", "_qs).toHtmlEscaped() + u"</td></tr>"_qs;
    html += u"<tr><td><b>Period:</b></td><td>"_qs + ReplyDateTimeText(report.testStart).toHtmlEscaped()
            + u" - "_qs + (last ? ReplyDateTimeText(*last) : QString()).toHtmlEscaped() + u"</td></tr>"_qs;
    html += u"<tr><td><b>Grouped by:</b></td><td>"_qs
            + (byTime ? u"time period of %1 minute%2"_qs.arg(groupMinutes).arg(groupMinutes == 1 ? u""_qs : u"s"_qs)
                      : u"send buffer size"_qs)
            + u"</td></tr></table>"_qs;
    const QStringList headings = byTime
        ? QStringList{u"From"_qs, u"To"_qs, u"TTL"_qs, u"Sent"_qs, u"Lost"_qs, u"Avg Time"_qs, u"Loss Rate"_qs, u"Chart"_qs}
        : QStringList{u"From"_qs, u"To"_qs, u"Buffer Size"_qs, u"TTL"_qs, u"Sent"_qs, u"Lost"_qs, u"Avg Time"_qs, u"Loss Rate"_qs, u"Chart"_qs};
    for (const ReportHost &host : report.hosts) {
        html += u"<h3>IP: "_qs + host.display.toHtmlEscaped() + u"</h3>"_qs;
        html += u"<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>"_qs;
        for (const QString &h : headings)
            html += u"<th align=\"%1\">%2</th>"_qs.arg(h == u"From" || h == u"To" || h == u"Chart" ? u"left"_qs : u"right"_qs, h);
        html += u"</tr>"_qs;
        for (const ReportGroup &g : host.groups) {
            html += u"<tr>"_qs + cell(ReplyDateTimeText(g.first), "left") + cell(ReplyDateTimeText(g.last), "left");
            if (!byTime)
                html += cell(QString::number(g.size));
            html += cell(QString::number(g.avgTtl)) + cell(QString::number(g.sent))
                    + cell(QString::number(g.lost)) + cell(AverageTimeText(g.avgTime))
                    + cell(g.lossText.trimmed()) + chartCell(g.lossText) + u"</tr>"_qs;
        }
        html += u"</table>"_qs;
    }
    html += u"</body></html>"_qs;
    return html;
}

} // namespace netvane
