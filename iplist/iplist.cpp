#include "iplist/iplist.h"

#include "iplist/iplistfile.h"
#include "iplist/iplistitem.h"
#include "platform/events.h"
#include "probe/netlookup.h"

#include <QFile>

namespace netvane {

IpList::IpList(QObject *parent) : QObject(parent) {}

void IpList::setFolder(const QString &folder)
{
    m_folder = folder;
}

QString IpList::filePath() const
{
    return m_folder + IpListFileName;
}

void IpList::setNetworkFiles(const QString &routeFile, const QString &resolvConf)
{
    m_routeFile = routeFile;
    m_resolvConf = resolvConf;
}

QStringList IpList::defaultItems() const
{
    return DefaultIpListItems(DefaultGateway(m_routeFile), LocalAdapterAddress(),
                              DnsServers(m_resolvConf));
}

bool IpList::LoadIpList(QString *error)
{
    m_items.clear();
    m_latin1.clear();
    bool ok = true;
    if (!QFile::exists(filePath()))
        ok = WriteIpListFile(filePath(), defaultItems(), error);
    QString why;
    m_items = ReadIpListFile(filePath(), nullptr, &m_latin1, &why);
    if (!why.isEmpty()) {
        ok = false;
        if (error)
            *error = why;
    }
    SortListLines(m_items);
    Q_EMIT ipListLoaded(pickerEntries());
    return ok;
}

bool IpList::rewrite(const QStringList &items, QString *error)
{
    // Replaced whole or not at all: a failed write (a full disk) leaves the old
    // list. Items read as Latin-1 are written back with their old bytes.
    const bool ok = WriteIpListFile(filePath(), items, error, &m_latin1);
    LetWindowCatchUp();
    LoadIpList();
    return ok;
}

QStringList IpList::displayTexts() const
{
    QStringList texts;
    texts.reserve(m_items.size());
    for (const QString &item : m_items)
        texts << ItemDisplayText(item);
    return texts;
}

int IpList::findDisplayText(const QString &text, int skipIndex) const
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (i != skipIndex && ItemDisplayText(m_items[i]).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList IpList::pickerEntries() const
{
    QStringList entries;
    for (const QString &item : m_items) {
        if (ItemKind(item) == u'A')
            entries << item.mid(1, 99).trimmed();
    }
    entries << PickerSeparator << PickerAddEntry;
    return entries;
}

QStringList IpList::traceTargetEntries() const
{
    QStringList entries;
    const QString gap(50, u' ');
    for (int i = 0; i < m_items.size(); ++i) {
        if (ItemKind(m_items[i]) != u'C')
            entries << ItemDisplayText(m_items[i]) + gap + QString::number(i);
    }
    return entries;
}

QString DeleteNameList(const QStringList &displayTexts)
{
    QString list;
    for (int i = 0; i < displayTexts.size() && i < 9; ++i)
        list += u"\n    "_qs + displayTexts[i];
    if (displayTexts.size() > 9)
        list += u"\n    ......"_qs;
    return list;
}

} // namespace netvane
