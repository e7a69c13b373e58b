// The result file reader over any bytes. The file read in blocks (of a size the input
// picks, with the helper thread) must read as the one pass through memory does. And
// every line is read alone after the header, where the reader cannot take its quick
// way: the lines that read alone are the echoes of the whole read, in order, and the
// others are the lines it left out.
#include "fuzzinput.h"
#include "ping/replyrecord.h"
#include "ping/resultreload.h"
#include "ping/sessionstats.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace {

using netvane::ReloadedPingTest;

QStringList echoLines(const ReloadedPingTest &test)
{
    QStringList lines;
    test.log.readRows(0, test.log.size(), [&](qsizetype, const netvane::PingReplyRecord &r, const QString &address) {
        lines << netvane::ReplyLine(r, address);
        return true;
    });
    return lines;
}

bool same(const ReloadedPingTest &a, const ReloadedPingTest &b)
{
    netvane::PingSessionStats sa = a.stats, sb = b.stats;
    return a.headerRead == b.headerRead && a.header.targetCount == b.header.targetCount
           && a.header.sizeStepLength == b.header.sizeStepLength && a.header.repeat == b.header.repeat
           && a.badLineCount == b.badLineCount && a.badLines == b.badLines
           && netvane::StatisticsTexts(sa) == netvane::StatisticsTexts(sb) && sa.lastLine == sb.lastLine
           && echoLines(a) == echoLines(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray contents = fuzzinput::bytes(data, size);
    const ReloadedPingTest test = netvane::ParseResultFile(contents);
    netvane::ResultFileHeader header;
    netvane::ParseResultHeader(contents.left(contents.indexOf('\n') + 1), header);

    static const QString path = QDir::tempPath() + u"/fuzz_resultfile-"_qs + QString::number(::getpid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        std::abort();
    file.close();
    const qsizetype block = 1 + qsizetype(size % 97);
    if (!same(netvane::ReadResultFile(path, {}, {block, true}), test)
        || !same(netvane::ParseResultFile(contents, {}, {block, false}), test))
        std::abort();
    if (!test.headerRead)
        return 0;

    QList<QByteArray> lines = contents.split('\n');
    if (contents.endsWith('\n'))
        lines.removeLast(); // the end of the file, not an empty line
    const QByteArray head = lines.at(0) + '\n';
    const QStringList echoes = echoLines(test);
    qsizetype echo = 0, bad = 0;
    QList<qsizetype> badLines;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const ReloadedPingTest alone = netvane::ParseResultFile(head + lines.at(i) + '\n');
        if (alone.log.size() == 1) {
            const netvane::PingReplyRecord r = alone.log.at(0);
            if (echo >= echoes.size() || netvane::ReplyLine(r, alone.log.address(r)) != echoes.at(echo++))
                std::abort();
        } else if (alone.badLineCount == 1) {
            if (++bad <= netvane::NamedBadLines)
                badLines << i + 1;
        } else {
            break; // an empty line ends the log
        }
    }
    if (echo != echoes.size() || bad != test.badLineCount || badLines != test.badLines)
        std::abort();
    return 0;
}
