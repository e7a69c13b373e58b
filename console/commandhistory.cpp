#include "console/commandhistory.h"

#include "platform/linestream.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace netvane {

namespace {

// Every rewrite ends the file with a line of one blank, where reading stops.
const QString EndLine = QStringLiteral(" ");

// A longer line is no command of ours (pasted garbage, a binary file): it is
// skipped whole rather than split into several entries.
constexpr qint64 MaxHistoryLineBytes = 64 * 1024;

// Sorting looks only at the start of each command.
constexpr int SortKeyLength = 30;

} // namespace

QStringList DefaultHistory()
{
    // Each entry keeps the place of the console command that did the same job.
    return {u"tracert www.debian.org"_qs,
            u"tracert www.kernel.org"_qs,
            u"ip address"_qs,
            u"hostname"_qs,
            u"hostnamectl"_qs,
            u"ip neigh"_qs,
            u"cp -a test test2"_qs,
            u"ss -tuna"_qs,
            u"getent ahosts www.debian.org"_qs,
            u"arp -a"_qs,
            u"ip neigh flush all"_qs};
}

QString HistoryExportName(const QDateTime &when)
{
    return u"DOS_CMD_HIS_"_qs + when.toString(u"MMddHHmm"_qs);
}

QStringList BuiltInCommands()
{
    // Each entry keeps the place of the console command that did the same job.
    return {u"tracert"_qs,
            u"ss -tuna"_qs,
            u"nbtstat"_qs,
            u"ip -brief address"_qs,
            u"ip address"_qs,
            u"arp"_qs,
            u"arp -a"_qs,
            u"ip neigh flush all"_qs,
            u"who"_qs,
            u"ip route"_qs,
            u"ping"_qs,
            u"tracepath"_qs,
            u"ls -l"_qs,
            u"getent ahosts"_qs,
            u"ip neigh"_qs,
            u"findmnt -t cifs,nfs,nfs4"_qs,
            u"ss -tn state established"_qs,
            u"ip help"_qs};
}

QString ReplaceAddressToken(const QString &commandLine, const QString &address)
{
    QString command = commandLine.trimmed();
    const qsizetype dot = command.indexOf(u'.');
    if (dot < 0)
        return commandLine + u' ' + address;
    qsizetype end = command.indexOf(u' ', dot);
    if (end < 0)
        end = command.size();
    const qsizetype start = command.lastIndexOf(u' ', dot) + 1; // 0 when there is no blank
    const QString token = command.mid(start, end - start).trimmed();
    command.replace(token, address);
    return command;
}

CommandHistory::CommandHistory(const QString &dataFolder)
    : m_path(QDir(dataFolder).filePath(HistoryFileName))
{
}

QStringList CommandHistory::view() const
{
    QStringList shown;
    shown.reserve(m_viewOrder.size());
    for (int index : m_viewOrder)
        shown << m_entries.at(index);
    return shown;
}

bool CommandHistory::load(QString *error)
{
    m_entries.clear();
    m_viewOrder.clear();
    m_latin1.clear();
    m_sorted = false;
    if (!QFileInfo::exists(m_path)) {
        if (!WriteTextLines(m_path, DefaultHistory() << EndLine, error, nullptr,
                            FileAccess::OwnerOnly))
            return false;
    }
    // Read as a stream up to the end line: the file may be far longer than the list.
    return ReadTextLinesWhile(m_path, MaxHistoryLineBytes, [this](const TextLine &line) {
        if (line.tooLong)
            return true; // no command of ours: skipped, the entries after it stay
        const QString command = line.text.trimmed();
        if (command.isEmpty())
            return false;
        m_viewOrder << int(m_entries.size());
        m_entries << command;
        if (line.latin1)
            m_latin1.insert(command);
        return true;
    }, error);
}

bool CommandHistory::rewrite(const QStringList &entries, QString *error)
{
    QStringList lines;
    for (const QString &entry : entries) {
        if (!entry.trimmed().isEmpty())
            lines << entry;
    }
    lines << EndLine;
    // Replaced whole: a failed write (a full disk) leaves the old history in place.
    if (!WriteTextLines(m_path, lines, error, &m_latin1, FileAccess::OwnerOnly))
        return false;
    return load(error);
}

bool CommandHistory::add(const QString &command, bool *added, QString *error)
{
    *added = false;
    const QString text = command.trimmed();
    if (text.isEmpty() || m_entries.contains(text, Qt::CaseSensitive))
        return true;
    if (ContainsControlCharacter(text)) {
        // A line break would end the list there at the next load.
        *error = u"A command with a line break, tab or other control character cannot be "
                 "kept in the history."_qs;
        return false;
    }
    if (!rewrite(QStringList(m_entries) << text, error))
        return false;
    *added = true;
    return true;
}

bool CommandHistory::removeViewRows(const QList<int> &rows, QString *error)
{
    QList<bool> removed(m_entries.size(), false);
    for (int row : rows) {
        if (row >= 0 && row < m_viewOrder.size())
            removed[m_viewOrder.at(row)] = true;
    }
    QStringList kept;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (!removed.at(i))
            kept << m_entries.at(i);
    }
    return rewrite(kept, error);
}

bool CommandHistory::keepLast(int n, QString *error)
{
    const qsizetype first = std::max<qsizetype>(0, m_entries.size() - n);
    return rewrite(m_entries.mid(first), error);
}

bool CommandHistory::clearAll(QString *error)
{
    if (!ReplaceFile(m_path, {}, error, FileAccess::OwnerOnly))
        return false;
    return load(error);
}

void CommandHistory::sortView()
{
    std::stable_sort(m_viewOrder.begin(), m_viewOrder.end(), [this](int a, int b) {
        return QStringView(m_entries.at(a)).left(SortKeyLength)
                   .compare(QStringView(m_entries.at(b)).left(SortKeyLength), Qt::CaseSensitive)
               < 0;
    });
    m_sorted = true;
}

bool CommandHistory::exportTo(const QString &target, const QByteArray &content, QString *error)
{
    return ReplaceFile(target, content, error);
}

bool CommandHistory::fileContent(QByteArray *content, QString *error) const
{
    return ReadFileBytes(m_path, content, error);
}

bool CommandHistory::importFrom(const QString &source, QString *error)
{
    if (!IsSameFile(source, m_path)) {
        QByteArray content;
        if (!ReadFileBytes(source, &content, error))
            return false;
        // A file that would load as an empty history is refused: the history stays.
        CommandHistory imported(QFileInfo(source).absolutePath());
        imported.m_path = source;
        if (!imported.load(error))
            return false;
        if (imported.entries().isEmpty()) {
            *error = u"No command was found in this file, the DOS command history has not "
                     "been changed:\r\n"_qs
                     + source;
            return false;
        }
        // Written whole or not at all: a failed import keeps the old history.
        if (!ReplaceFile(m_path, content, error, FileAccess::OwnerOnly))
            return false;
    }
    return load(error);
}

} // namespace netvane
