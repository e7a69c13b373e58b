// Figures for the target list: loading and sorting a large list file, rewriting it,
// and expanding
// a full /16 range into targets, with and without letting the window catch up
// after each address (as the window does).
#include "iplist/iplist.h"
#include "iplist/iplistfile.h"
#include "iplist/targettable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace netvane;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;

    QStringList items;
    for (int i = 0; i < 20000; ++i)
        items << u"A10.%1.%2.%3"_qs.arg((i * 7919) % 250).arg(i % 200).arg(i % 250);
    for (int i = 0; i < 2000; ++i)
        items << u"BGroup_%1,10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4"_qs.arg(i * 31 % 2000);
    IpList list;
    list.setFolder(dir.path() + u'/');
    WriteIpListFile(list.filePath(), items);
    QElapsedTimer t;
    t.start();
    list.LoadIpList();
    std::printf("load and sort %d items: %lld ms\n", list.itemCount(), t.elapsed());
    // A rewrite writes beside the file, syncs it to the disk and renames it over.
    t.restart();
    list.rewrite(list.items());
    std::printf("rewrite (synced, renamed) and reload %d items: %lld ms\n", list.itemCount(),
                t.elapsed());

    for (bool catchUp : {false, true}) {
        TargetTable table;
        table.setLetWindowCatchUp(catchUp);
        t.restart();
        table.ExpandListItem(u"CR,10.1.0.0,10.1.255.255"_qs);
        std::printf("expand 10.1.0.0 - 10.1.255.255 (%d addresses), events %s: %lld ms\n",
                    table.targetCount(), catchUp ? "on" : "off", t.elapsed());
    }
    return 0;
}
