#pragma once
// The running statistics of a ping test and their texts. RecordReply is the one
// place a ping's outcome enters the reply log and the statistics; the result store's
// reload and the export read the same numbers.

#include "ping/replyrecord.h"
#include "probe/echoprobe.h"

#include <QStringList>
#include <array>

namespace netvane {

// MinTime keeps this value until the first answer arrives.
inline constexpr qint32 NoAnswerYet = 999999;

struct PingSessionStats {
    QString currentTarget;
    QString hostText;
    qint32 avgTime = 0;
    qint32 avgTtl = 0;
    qint64 sent = 0;
    qint64 sumTime = 0;
    qint64 sumTtl = 0;
    qint64 lost = 0;
    qint32 minTime = NoAnswerYet;
    qint32 maxTime = 0;
    QString lastLine; // at most 100 characters
    qint32 lastTime = 0;
    qint32 lastTtl = 0;

    void reset() { *this = PingSessionStats(); }
};

// Averages are the sum over the answered count, halves rounded up.
qint32 AverageHalfUp(qint64 sum, qint64 count);

// Lost over sent rounded to four decimal places with halves to even, as a
// percentage with two decimals: one lost of three gives "33.33 %".
QString LossRateText(qint64 lost, qint64 sent);

// Counts one ping: appends its record to the log (stamped `when`), updates the
// statistics and returns the texts of its display row.
ReplyRowTexts RecordReply(PingSessionStats &stats, PingReplyLog &log, const QDateTime &when,
                          const QString &address, int sendSize, qint32 status,
                          const EchoReply &reply);

// The last reply line of a stored record, as RecordReply leaves it for a live ping:
// "12/07 21:05:09   Reply from 127.0.0.1:  bytes=32  time<1ms  TTL=64".
QString LastReplyLine(const PingReplyRecord &r, const QString &address);

// The nine values of the statistics column (index 4 is blank). A minimum, maximum
// or average time of 0 is raised to 1 in the statistics themselves first, as the
// program always showed "1 ms" for answers under a millisecond.
std::array<QString, 9> StatisticsTexts(PingSessionStats &stats);

} // namespace netvane
