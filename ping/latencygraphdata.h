#pragma once
// What the latency graph shows of a ping test, kept apart from the window: the
// min/max summary of the whole test and each target's figures, brought up to date
// from the reply log (a first pass when the graph opens, then echo by echo while the
// test runs); for a zoomed range, a finer summary and the range's figures from the
// echoes of that range read back by position; the echo under the pointer.
// Every read goes through the log's reader: the result file is the only copy.

#include "ping/latencystats.h"
#include "ping/latencysummary.h"

#include <QList>
#include <QStringList>

namespace netvane {

struct GraphEcho {
    PingReplyRecord record;
    QString address;
    qsizetype target = -1; // -1: none found
};

class LatencyGraphData final
{
public:
    // A zoomed range with more echoes than this is drawn from the whole test's
    // summary and gets no figures of its own, so that a zoom step never stalls.
    static constexpr qsizetype DetailRowLimit = 200000;
    // A first pass over more echoes than this is read beside the window.
    static constexpr qsizetype BesideWindowRows = 200000;

    // Follows `log`, whose targets (in test order) and repeat per target are given.
    void attach(const PingReplyLog *log, const QStringList &targets, int repeat);
    // Reads the echoes added to the log since the last call; starts over when the log
    // was cleared or replaced. False with the reason when the log cannot be read.
    bool catchUp(QString *error = nullptr);

    const PingReplyLog *log() const { return m_log; }
    const QStringList &targets() const { return m_targets; }
    const LatencySummary &whole() const { return m_whole; }
    const QList<LatencyStatistics> &wholeFigures() const { return m_wholeFigures; }

    // Prepares the range [from, to) of `columns` pixel columns: when the whole test's
    // buckets are wider than a column and the range holds at most DetailRowLimit
    // echoes, a summary of its own (at one-second buckets); with at most that many
    // echoes also the range's figures. Call with the whole test to drop both. Echoes
    // that catchUp() reads later go into both when they fall in the range.
    void setRange(double from, double to, int columns);
    // The summary to draw [from, to) from: the range's when it has one.
    const LatencySummary &summaryFor() const { return m_hasDetail ? m_detail : m_whole; }
    // The figures of the range last set; false when it had too many echoes.
    bool hasRangeFigures() const { return m_hasRangeFigures; }
    const QList<LatencyStatistics> &rangeFigures() const { return m_rangeFigures; }

    // The echo from second `from` to `to` nearest to `rtt` ms (a lost echo counts as
    // -1 ms), of target `target` or, with -1, of any; reads at most DetailRowLimit echoes.
    GraphEcho echoNear(double from, double to, qsizetype target, double rtt) const;

private:
    void reset();
    void addEcho(qsizetype row, const PingReplyRecord &r);
    bool firstPassBesideWindow(QString *error);

    const PingReplyLog *m_log = nullptr;
    QStringList m_targets;
    int m_repeat = 1;
    PingReplyRecord m_first; // the log's first echo, to notice a new test
    LatencySummary m_whole;
    QList<LatencyStatistics> m_wholeFigures;
    LatencySummary m_detail;
    bool m_hasDetail = false;
    bool m_finer = false;                  // the range has a summary of its own
    double m_rangeFrom = 0, m_rangeTo = 0; // the range last set, in echo seconds
    QList<LatencyStatistics> m_rangeFigures;
    bool m_hasRangeFigures = false;
    bool m_passing = false; // a first pass is being read beside the window
};

} // namespace netvane
