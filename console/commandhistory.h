#pragma once
// The run history of the command console: the file "Quellon_DB2.txt" in the data
// folder, one command per line, read up to the first empty line; every rewrite ends
// it with a line holding one blank. The list shows the entries in file order or
// sorted; the file always keeps the order in which commands were added.

#include "platform/textfile.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace netvane {

inline const QString HistoryFileName = QStringLiteral("Quellon_DB2.txt");

// The commands a new history file starts with.
QStringList DefaultHistory();

// The proposed name of a history export made at `when`: "DOS_CMD_HIS_" + MMddhhmm.
QString HistoryExportName(const QDateTime &when);

// The built-in command list, in its shown order.
QStringList BuiltInCommands();

// Where the address picker puts a chosen address into a command line: a command
// without "." gets the address appended; otherwise the word around its first "."
// (the old address or host) is replaced everywhere in the command by the address.
QString ReplaceAddressToken(const QString &commandLine, const QString &address);

class CommandHistory final
{
public:
    explicit CommandHistory(const QString &dataFolder);

    QString path() const { return m_path; }
    // File order.
    const QStringList &entries() const { return m_entries; }
    // What the list shows: file order, or sorted after sortView().
    QStringList view() const;
    bool isSorted() const { return m_sorted; }

    // Reads the file (created with the default commands when missing); the view
    // returns to file order. False with the reason on failure; what was read stays.
    bool load(QString *error);
    // Adds a trimmed command unless it is empty or already listed (exact, case
    // counts). *added tells whether the file changed. A command holding a control
    // character (a pasted line break) is refused with the reason.
    bool add(const QString &command, bool *added, QString *error);
    // Removes the entries at these rows of the view.
    bool removeViewRows(const QList<int> &rows, QString *error);
    // Keeps the last n entries.
    bool keepLast(int n, QString *error);
    // Leaves an empty file, so no default commands come back.
    bool clearAll(QString *error);
    // Sorts the view by the first 30 characters of each entry, by character code.
    void sortView();

    // The history file as it stands on disk, taken before an export asks for a
    // target, so exporting onto the history file itself loses nothing.
    bool fileContent(QByteArray *content, QString *error) const;
    // Writes an export whole (or not at all); the old file stays on failure.
    static bool exportTo(const QString &target, const QByteArray &content, QString *error);
    // Replaces the history file by a copy of `source`, then reloads. A file that
    // holds no command is refused and the history stays as it was.
    bool importFrom(const QString &source, QString *error);

private:
    bool rewrite(const QStringList &entries, QString *error);

    QString m_path;
    QStringList m_entries;
    QList<int> m_viewOrder; // view row -> entry index
    bool m_sorted = false;
    Latin1Lines m_latin1; // entries whose line was read as Latin-1
};

} // namespace netvane
