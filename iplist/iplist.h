#pragma once
// The target list: the items of the list file in sorted order, loaded at start-up
// and after every change. Add, edit and delete rewrite the whole file and reload it,
// so memory and file never differ after an operation. The list window, the dialogs,
// target gathering and the address picker of the console all read from here.
//
// Item strings and the file: iplist/iplistitem.h, iplist/iplistfile.h. Expansion
// into targets: iplist/targettable.h.

#include "platform/textfile.h"

#include <QObject>
#include <QStringList>

namespace netvane {

class IpList final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IpList)
public:
    explicit IpList(QObject *parent = nullptr);

    // The data folder (ending in a separator) that holds the list file.
    void setFolder(const QString &folder);
    QString filePath() const;

    // Where the defaults of a new list look for the gateway and DNS servers; empty
    // for the system's own files.
    void setNetworkFiles(const QString &routeFile, const QString &resolvConf);

    // Creates the file with the defaults when it is missing, reads and sorts it.
    // False (with the reason) when the file could not be created or read (a path
    // that is no regular file); the list is then empty.
    bool LoadIpList(QString *error = nullptr);
    // The rewrite sequence: the file is replaced by these items and reloaded.
    bool rewrite(const QStringList &items, QString *error = nullptr);

    const QStringList &items() const { return m_items; }
    int itemCount() const { return int(m_items.size()); }
    QString item(int index) const { return m_items.value(index); }
    QStringList displayTexts() const;
    int indexOfItem(const QString &item) const { return int(m_items.indexOf(item)); }

    // The index of the item whose display text equals text in any case, or -1;
    // the item at skipIndex is not looked at.
    int findDisplayText(const QString &text, int skipIndex = -1) const;

    // The address picker of the command line: every single entry, then the two
    // closing entries.
    QStringList pickerEntries() const;
    // The traceroute target box: every single entry and group as its display text,
    // 50 spaces and its index.
    QStringList traceTargetEntries() const;

    // The default contents of a new list on this machine.
    QStringList defaultItems() const;

Q_SIGNALS:
    // The list was (re)loaded; the console's address picker takes these entries.
    void ipListLoaded(const QStringList &pickerEntries);

private:
    QString m_folder;
    QString m_routeFile;
    QString m_resolvConf;
    QStringList m_items;
    Latin1Lines m_latin1; // items whose line was read as Latin-1
};

// The confirmation text of a delete of these display texts: the first nine, each
// on a line of its own after four spaces, then "    ......" when there are more.
QString DeleteNameList(const QStringList &displayTexts);

inline const QString PickerSeparator = QStringLiteral("----------------------------");
inline const QString PickerAddEntry = QStringLiteral("Add a IP / URL");

} // namespace netvane
