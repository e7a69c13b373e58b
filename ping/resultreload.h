#pragma once
// Reading back the store of the last ping test at start-up: the result file
// ("Quellon_DB3.txt": header "targets,sizeStepLength,repeat", then one line per echo)
// becomes the reply log and the statistics the test ended with, and the target file
// ("Quellon_DB4.txt") the names of its targets. The window shows what comes out.
//
// Reading stops at the first empty line. A malformed line (a short line, a field that
// is not a number of its kind, an over-long line, binary data) is left out and
// counted, and reading goes on with the line after it: every echo that reads is kept,
// and nothing is made up from a line that does not. A malformed header leaves nothing.
// A large file is read on two cores (ping/echoblocks.h).

#include "ping/outagefinder.h"
#include "ping/pingtest.h"
#include "ping/replyrecord.h"
#include "ping/sessionstats.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace netvane {

struct ResultFileHeader {
    int targetCount = 0;
    int sizeStepLength = 1; // echoes that use one send size before the next is taken
    int repeat = 1;         // echoes per target in a row
};

struct ReloadedPingTest {
    bool headerRead = false; // false: nothing to show (no line, or a malformed header)
    ResultFileHeader header;
    PingReplyLog log; // in memory from ParseResultFile, backed by the file from ReadResultFile
    PingSessionStats stats;
    OutageFinder outages; // found in the same pass
    // The lines that could not be read: how many, and the first ones' numbers (1-based).
    qsizetype badLineCount = 0;
    QList<qsizetype> badLines;
};

// Why a log's file cannot be read any more: it is not the one the log was read from.
QString ResultFileChangedText();

// How many bad lines a reload names.
inline constexpr int NamedBadLines = 10;

// What the window tells the user once about the lines of the result file at `path`
// that could not be read; empty when every line was read.
QString UnreadLinesText(const ReloadedPingTest &test, const QString &path);

// How a result file is read: in blocks of this many bytes, with a helper thread
// reading ahead where there is a core for it.
struct ResultReadOptions {
    qsizetype blockBytes = 256 << 10;
    bool readAhead = true;
    int outageAfter = DefaultOutageAfter; // lost echoes in a row that make an outage; 0: none sought
};

// Called every few thousand lines with the number of lines still to convert.
using ReloadProgress = std::function<void(qsizetype remaining)>;

// The header line; false when it is malformed. Fields 2 and 3 may be missing.
bool ParseResultHeader(QByteArrayView line, ResultFileHeader &header);

// Converts the contents of a result file; the log keeps every record in memory.
ReloadedPingTest ParseResultFile(QByteArrayView contents, const ReloadProgress &progress = {},
                                 const ResultReadOptions &options = {256 << 10, false});

// Reads a result file in one pass, with large reads: the statistics, and a log backed
// by the file that indexes every echo read. A missing or unreadable file gives
// headerRead false.
ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress = {},
                                const ResultReadOptions &options = {});

// The first `count` lines of the target file, trimmed; fewer when the file is shorter,
// none when it is missing. False with the reason when it exists but cannot be read.
bool ReadTargetFile(const QString &path, int count, QStringList &names, QString *error = nullptr);

// The targets of a reloaded test in test order: the names from the target file; a
// target the file does not name (a short file) is named by the address its first
// echo went to, and stays empty when it has no echo.
QList<PingTarget> ReloadedTargets(const ReloadedPingTest &test, const QStringList &names);

// The outages of a log found again with another rule (`lostEchoes` in a row), in one
// pass; false with the reason when the log cannot be read to its end.
bool FindOutages(const PingReplyLog &log, int lostEchoes, OutageFinder &outages, QString *error = nullptr);

class EchoBlock;
class EchoBlockDigest;
class EchoBlocks;

// Reads the echoes of a log in order from any row, from the result file (in blocks
// from the indexed line before it) or from memory. The exports and the summary
// report pass through a whole test with one cursor, read ahead on a second core; the
// 20-row display reads a page. A line of the file that is not an echo is passed over,
// as the reload passed over it.
// Before its first read from the file it checks that the file is still the one the
// log was read from or wrote; a file changed underneath ends the reading (failed()).
class EchoCursor final
{
    Q_DISABLE_COPY_MOVE(EchoCursor)
public:
    // `wholePass`: reads ahead in large blocks (a pass over a test), else small ones (a page).
    explicit EchoCursor(const PingReplyLog &log, bool wholePass = false);
    ~EchoCursor();

    // The next echo read is `row`.
    void seek(qsizetype row) { m_wanted = row; }
    qsizetype row() const { return m_wanted; }
    // The echo at the position; the position moves to the next row. False after the
    // last row, or when it cannot be read (failed()). A record read from the file holds
    // no index into the log's address table: its address is address().
    bool next(PingReplyRecord &record);
    // The address of the echo the last next() gave, until the next call.
    const QString &address() const;
    // next() with a copy of the address.
    bool next(PingReplyRecord &record, QString &address);

    // A pass over the rows the file holds, from row 0, in blocks of DigestRows rows (the
    // last fewer): each block is digested on the thread that read it, with a digest
    // `digests` made, then handed to `merge` in row order with its digest and its row
    // count. Afterwards next() gives the rows the log holds in memory. False when the
    // file cannot be read to the last of those rows (failed()).
    static constexpr qsizetype DigestRows = 4096;
    bool digestStored(const std::function<std::unique_ptr<EchoBlockDigest>()> &digests,
                      const std::function<void(const EchoBlock &, EchoBlockDigest &, qsizetype rows)> &merge);
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error);
    bool nextFromBlocks(PingReplyRecord &record);
    bool open();
    // Blocks from the indexed line at or before `row`.
    void startAt(qsizetype row);

    const PingReplyLog &m_log;
    const bool m_wholePass;
    qsizetype m_wanted = 0;
    FileReader m_file;
    const FileReader *m_reader = nullptr; // m_file, or the file the log holds open
    qint64 m_fileSize = 0;
    bool m_opened = false;
    std::unique_ptr<EchoBlocks> m_blocks;
    const EchoBlock *m_block = nullptr;
    qsizetype m_index = 0; // the record of m_block that is row m_row
    qsizetype m_row = -1;  // -1: nowhere yet
    const QString *m_address = &m_noAddress; // of a record from memory
    const EchoBlock *m_addressBlock = nullptr; // else the block of the last record read
    quint32 m_addressIndex = 0;               // and its index in the block's table
    QString m_noAddress;
    bool m_failed = false;
    QString m_error;
};

} // namespace netvane
