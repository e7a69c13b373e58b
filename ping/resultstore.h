#pragma once
// The result store of the last ping test, in the data folder:
//   "Quellon_DB3.txt", the result file: a header line "targets,sizeStepLength,repeat"
//   and one line per echo (ReplyLine), appended as each echo happens;
//   "Quellon_DB4.txt", the target file: one target name per line, in test order.
// A new test always discards the previous files. The result file is the log of the
// test: the reply log keeps only where its lines begin (PingReplyLog).

#include "iplist/targetlist.h"
#include "platform/textfile.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace netvane {

inline const QString ResultFileName = QStringLiteral("Quellon_DB3.txt");
inline const QString TargetFileName = QStringLiteral("Quellon_DB4.txt");

class PingResultStore final
{
    Q_DISABLE_COPY_MOVE(PingResultStore)
public:
    PingResultStore() = default;

    // Replaces both files and leaves the result file open for appending.
    bool create(const QString &folder, int targetCount, int sizeStepLength, int repeat,
                const QStringList &targetNames, QString *error = nullptr);
    // Replaces the result file alone (its header line) and leaves it open for
    // appending: the target file is written first (WriteTargetFile).
    bool createResultFile(const QString &folder, int targetCount, int sizeStepLength, int repeat,
                          QString *error = nullptr);
    // Appends one echo line; it is on disk when this returns.
    bool append(const QString &line);
    QString errorString() const { return m_result.isOpen() ? m_result.errorString()
                                                           : u"The result file is not open."_qs; }
    void close() { m_result.close(); }
    bool isOpen() const { return m_result.isOpen(); }
    QString path() const { return m_path; }
    // The open file as this store's appends left it: the next line begins at its size.
    // It no longer exists (exists false) once something else wrote into the file.
    FileStamp stamp() const { return m_stamp; }

private:
    LineAppender m_result;
    QString m_path;
    FileStamp m_stamp;
};

// Replaces the target file in `folder` by the names of the targets, one a line,
// through the checked writer, written piece by piece: `cancel` (looked at between
// pieces) stops it and keeps the old file; `written` counts the names so far. It may
// run on a thread of its own.
bool WriteTargetFile(const QString &folder, const TargetList &targets, const std::atomic<bool> &cancel,
                     std::atomic<qsizetype> &written, QString *error = nullptr);

} // namespace netvane
